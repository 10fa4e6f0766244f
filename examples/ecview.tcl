# ecview.tcl: a Tk viewer of ec programs, made to stay open on large ones.
#
# Usage: wish ecview.tcl ?FILE.ec?     (or: tclsh ecview.tcl ?FILE.ec?)
#
# The window shows, for the program read from an ec file:
#   - a table of its variables and constants (name, kind, type, clock, line
#     of the declaration), sorted by clicking a heading and narrowed by the
#     filter above it (a substring, or a glob pattern when the text holds
#     * ? or [);
#   - its Lustre text (tab "Lustre") and the file's own text (tab "Source"),
#     keywords, types and comments highlighted; selecting a variable scrolls
#     to its equation and highlights it, clicking a name in either text
#     selects it in the table;
#   - "Uses": the equations that read the selected variable and the names its
#     own equation reads; a click selects that name (Alt-Left goes back);
#   - "Diagnostics": what `check' finds; a click shows the place (line and
#     column) in the Source tab and selects the diagnostic's subject;
#   - an expression entry that types what is typed in it, and a status line
#     with the counts, the load time and the progress of background work.
# A failed load shows the file's text with the faulty line highlighted.
# Errors never raise a dialog: they go to the status line, and so do errors
# of event scripts (bgerror).
#
# Large programs: the tables hold only the rows in sight (a treeview of a
# screenful of rows over a Tcl list), the text is highlighted where it is
# seen, and what is not needed to show the program (the index of equations
# in the text, the check, the table's type/clock/line columns) is computed
# after the window shows, in slices run from the event loop.
#
# Tcl interface (for scripts and tests):
#   ecview::open_file PATH       read a program; 1, or 0 when the load failed
#   ecview::reload               read the current file again
#   ecview::save PATH ?lustre|ec? write the program's text through a channel
#   ecview::filter ?TEXT?        set (or read) the filter; returns the row count
#   ecview::sort COLUMN ?DECR?   sort the table (name kind type clock line)
#   ecview::rows                 names in the table, in its order
#   ecview::select NAME          select a variable: table, text, uses; 1 or 0
#   ecview::selected             the selected name ("" when none)
#   ecview::uses                 rows of the uses list: {relation name} pairs
#   ecview::diagnostics          the check's diagnostics (dicts) as listed
#   ecview::jump INDEX           go to the INDEX-th listed diagnostic
#   ecview::exptype TEXT         type an expression; returns the message shown
#   ecview::wait                 finish the background work now
#   ecview::widget NAME          a widget's path, NAME one of:
#       vars (table treeview) filter (entry) count (label "shown of all")
#       text (Lustre text) source (file's text) notebook
#       uses (treeview) detail (label over it) back (button) diags (treeview) diaglabel
#       expr (entry) exptype (label of its result)
#       status (label) counts (label) progress (progressbar)
#   ecview::status is the status line's text.
# The module is found as require_zindle.tcl says: in the build directory
# named by the environment variable ZINDLE_BUILD, or installed.
# LUSTRE_INSTALL must name an existing directory.
source [file join [file dirname [info script]] require_zindle.tcl]

# ----------------------------------------------------------- virtual table
#
# A ttk::treeview that holds only the rows in sight. The table's content is
# a list of keys; a command turns a key into the row's values when the row
# comes into sight. The scrollbar, the wheel and the keys move a window over
# the list, so a table of 100,000 rows costs what a screenful costs.
namespace eval ecview::vt {
    variable T   ;# "$w,field": keys top nvis sel rowcmd selectcmd headh
}

# columns: list of {id title anchor width stretch}.
proc ecview::vt::create {w columns rowcmd selectcmd} {
    variable T
    ttk::frame $w
    set tv $w.tv
    ttk::treeview $tv -show headings -selectmode browse -height 1 \
        -columns [lmap c $columns {lindex $c 0}] -xscrollcommand [list $w.xs set]
    foreach c $columns {
        lassign $c id title anchor width stretch
        $tv heading $id -text $title -anchor w
        $tv column $id -anchor $anchor -width $width -minwidth 30 -stretch $stretch
    }
    $tv tag configure odd -background #f3f5f8
    ttk::scrollbar $w.ys -orient vertical -command [list ecview::vt::yview $w]
    ttk::scrollbar $w.xs -orient horizontal -command [list $tv xview]
    grid $tv $w.ys -sticky nsew
    grid $w.xs -sticky ew
    grid rowconfigure $w 0 -weight 1
    grid columnconfigure $w 0 -weight 1
    array set T [list $w,keys {} $w,top 0 $w,nvis 10 $w,sel "" $w,rowcmd $rowcmd \
                     $w,selectcmd $selectcmd $w,headh 0 $w,tagcmd ""]
    bind $tv <Configure> "[list unset -nocomplain ecview::vt::T($w,measured)]
        [list ecview::vt::resize $w]"
    bind $tv <MouseWheel> [list ecview::vt::wheel $w %D]
    bind $tv <Button-4> "[list ecview::vt::yview $w scroll -3 units]; break"
    bind $tv <Button-5> "[list ecview::vt::yview $w scroll 3 units]; break"
    bind $tv <Button-1> [list ecview::vt::click $w %x %y]
    foreach {key step} {Up -1 Down 1 Prior -page Next page Home -all End all} {
        bind $tv <Key-$key> "[list ecview::vt::move $w $step]; break"
    }
    return $w
}

# A command that gives a row's tags beyond the stripes, from its key.
proc ecview::vt::tagcommand {w command} {
    variable T
    set T($w,tagcmd) $command
}

proc ecview::vt::rowheight {} {
    set h [ttk::style lookup Treeview -rowheight]
    if {![string is integer -strict $h]} { set h 20 }
    return $h
}

proc ecview::vt::resize {w} {
    variable T
    set tv $w.tv
    set rowh [rowheight]
    # The heading's height is read from the first row once there is one.
    if {$T($w,headh) == 0} {
        set first [lindex [$tv children {}] 0]
        if {$first ne "" && [set box [$tv bbox $first]] ne ""} {
            set T($w,headh) [lindex $box 1]
        }
    }
    set headh [expr {$T($w,headh) ? $T($w,headh) : $rowh + 6}]
    set T($w,nvis) [expr {max(1, ([winfo height $tv] - $headh - 2) / $rowh)}]
    redraw $w
}

proc ecview::vt::wheel {w delta} {
    yview $w scroll [expr {$delta > 0 ? -3 : 3}] units
    return -code break
}

# Scrollbar protocol: moveto FRACTION, scroll N units|pages.
proc ecview::vt::yview {w args} {
    variable T
    set n [llength $T($w,keys)]
    switch -- [lindex $args 0] {
        moveto { set top [expr {int([lindex $args 1] * $n)}] }
        scroll {
            lassign $args - count what
            set step [expr {$what eq "pages" ? max(1, $T($w,nvis) - 1) : 1}]
            set top [expr {$T($w,top) + $count * $step}]
        }
        default { return }
    }
    set T($w,top) [expr {max(0, min($top, $n - $T($w,nvis)))}]
    redraw $w
}

proc ecview::vt::redraw {w} {
    variable T
    set tv $w.tv
    set keys $T($w,keys)
    set n [llength $keys]
    set top [expr {max(0, min($T($w,top), $n - $T($w,nvis)))}]
    set T($w,top) $top
    set shown [expr {min($T($w,nvis), $n - $top)}]
    set items [$tv children {}]
    if {[llength $items] > $shown} {
        $tv delete [lrange $items $shown end]
        set items [lrange $items 0 [expr {$shown - 1}]]
    }
    while {[llength $items] < $shown} { lappend items [$tv insert {} end] }
    set selitem {}
    set i $top
    foreach item $items key [lrange $keys $top [expr {$top + $shown - 1}]] {
        set tags [expr {$i % 2 ? "odd" : ""}]
        if {$T($w,tagcmd) ne ""} { lappend tags {*}[{*}$T($w,tagcmd) $key] }
        $tv item $item -values [{*}$T($w,rowcmd) $key] -tags $tags
        if {$key eq $T($w,sel)} { set selitem $item }
        incr i
    }
    $tv selection set $selitem
    # The heading's height is known once a row shows: measure again then
    # (once per change of size).
    if {$T($w,headh) == 0 && $shown > 0 && [winfo ismapped $tv] && ![info exists T($w,measured)]} {
        set T($w,measured) 1
        after idle [list ecview::vt::resize $w]
    }
    if {$n == 0} {
        $w.ys set 0 1
    } else {
        $w.ys set [expr {double($top) / $n}] [expr {double($top + $shown) / $n}]
    }
}

# New content; the selection stays when its key is still there.
proc ecview::vt::setkeys {w keys} {
    variable T
    set T($w,keys) $keys
    set T($w,top) 0
    if {$T($w,sel) ne "" && ![see $w $T($w,sel)]} { set T($w,sel) "" }
    redraw $w
}

proc ecview::vt::keys {w} { variable T; return $T($w,keys) }
proc ecview::vt::selection {w} { variable T; return $T($w,sel) }

# Brings a key into sight (centred when it was out of sight); 0 when absent.
proc ecview::vt::see {w key} {
    variable T
    set i [lsearch -exact $T($w,keys) $key]
    if {$i < 0} { return 0 }
    if {$i < $T($w,top) || $i >= $T($w,top) + $T($w,nvis)} {
        set T($w,top) [expr {max(0, $i - $T($w,nvis) / 2)}]
    }
    return 1
}

# Selects a key; with notify, tells the table's owner as a user's click would.
proc ecview::vt::select {w key {notify 0}} {
    variable T
    set T($w,sel) $key
    if {$key ne ""} { see $w $key }
    redraw $w
    if {$notify && $key ne ""} { uplevel #0 [list {*}$T($w,selectcmd) $key] }
}

proc ecview::vt::click {w x y} {
    variable T
    set tv $w.tv
    if {[$tv identify region $x $y] ni {cell tree}} return
    set item [$tv identify item $x $y]
    set slot [lsearch -exact [$tv children {}] $item]
    if {$slot >= 0} {
        focus $tv
        select $w [lindex $T($w,keys) [expr {$T($w,top) + $slot}]] 1
    }
    return -code break
}

proc ecview::vt::move {w step} {
    variable T
    set n [llength $T($w,keys)]
    if {$n == 0} return
    set i [lsearch -exact $T($w,keys) $T($w,sel)]
    switch -- $step {
        page { set i [expr {$i + max(1, $T($w,nvis) - 1)}] }
        -page { set i [expr {$i - max(1, $T($w,nvis) - 1)}] }
        all { set i [expr {$n - 1}] }
        -all { set i 0 }
        default { set i [expr {$i < 0 ? 0 : $i + $step}] }
    }
    select $w [lindex $T($w,keys) [expr {max(0, min($i, $n - 1))}]] 1
}

# Width of a column from the longest of some texts, within [min, max].
proc ecview::vt::fit {w column texts {max 600}} {
    set font [ttk::style lookup Treeview -font]
    if {$font eq ""} { set font TkDefaultFont }
    set width 0
    foreach t $texts { set width [expr {max($width, [font measure $font $t] + 18)}] }
    set min [expr {[font measure TkHeadingFont [$w.tv heading $column -text]] + 24}]
    $w.tv column $column -width [expr {min($max, max($min, $width))}]
}

# ------------------------------------------------------------------ state

namespace eval ecview {
    variable prog ""            ;# program object command; "" when none
    variable progCount 0
    variable file ""            ;# the file shown (read or failed)
    variable sourceText ""      ;# that file's text as read
    variable sourceShown 0      ;# sourceText is in the Source tab
    variable names {}           ;# variables and constants, declaration order
    variable order {}           ;# names in the table's sort order
    variable sortColumn ""
    variable sortDecreasing 0
    variable filterText ""
    variable selected ""
    variable history {}         ;# names selected before, for Back
    variable kindOf             ;# array: name -> input|output|local|const
    variable info               ;# array: name -> {kind type clock line equation}
    variable eqLine             ;# array: name -> line of its equation in the Lustre text
    variable declLine           ;# array: name -> line of its declaration there
    variable lustreLines {}     ;# the Lustre text, split, while it is indexed
    variable typeNames {}
    variable diags {}           ;# the check's diagnostics, as listed
    variable warnings 1         ;# list warnings too
    variable expression ""
    variable status "Open an ec file (File > Open)"
    variable counts ""
    variable progress 0
    variable generation 0       ;# bumped by each load: stale background work stops
    variable queue {}           ;# background tasks still to run
    variable done               ;# array: task name -> 1 once it has run to its end
    variable W                  ;# array: widget name -> path
    variable T                  ;# array: vars uses diags -> frame of that table
    variable keywords {and assert const current div else function if let mod node nor not
        or pre returns tel then type var when xor}
}

proc ecview::widget {name} { variable W; return $W($name) }

proc ecview::say {message {error 0}} {
    variable status [string map {\n " "} $message]
    [widget status] configure -foreground [expr {$error ? "#b00020" : ""}]
}

# ----------------------------------------------------------------- window

proc ecview::build {} {
    variable W
    variable T
    catch {ttk::style theme use clam}
    set rowh [expr {[font metrics TkDefaultFont -linespace] + 4}]
    ttk::style configure Treeview -rowheight $rowh
    font create ecview::bold {*}[font actual TkFixedFont] -weight bold
    font create ecview::italic {*}[font actual TkFixedFont] -slant italic

    wm title . ecview
    set sw [winfo screenwidth .]
    set sh [winfo screenheight .]
    wm geometry . [expr {min(1500, $sw * 9 / 10)}]x[expr {min(950, $sh * 85 / 100)}]
    wm minsize . 500 300
    menu .menu
    menu .menu.file -tearoff 0
    .menu add cascade -label File -underline 0 -menu .menu.file
    .menu.file add command -label Open... -accelerator Ctrl+O -command ecview::choose
    .menu.file add command -label Reload -accelerator Ctrl+R -command ecview::reload
    .menu.file add command -label "Save Lustre as..." -accelerator Ctrl+S \
        -command {ecview::choose_save lustre}
    .menu.file add command -label "Save ec as..." -command {ecview::choose_save ec}
    .menu.file add separator
    .menu.file add command -label Quit -accelerator Ctrl+Q -command exit
    . configure -menu .menu

    # Bottom first, so that a small window shrinks the panes, not them.
    ttk::frame .status
    set W(status) [ttk::label .status.msg -textvariable ecview::status -anchor w]
    set W(counts) [ttk::label .status.counts -textvariable ecview::counts -anchor e]
    set W(progress) [ttk::progressbar .status.bar -length 120 -maximum 100 \
                         -variable ecview::progress]
    # The message has the first claim on the width; the progress bar shows
    # only while there is work.
    pack .status.msg -side left -padx 4
    pack .status.counts -side right -padx 8
    ttk::frame .exp
    ttk::label .exp.prompt -text "Expression:"
    set W(expr) [ttk::entry .exp.entry -textvariable ecview::expression -width 50 \
                     -font TkFixedFont]
    set W(exptype) [ttk::label .exp.result -anchor w]
    pack .exp.prompt -side left -padx 4
    pack .exp.entry -side left -fill x -expand 1
    pack .exp.result -side left -fill x -expand 1 -padx 8
    pack .status -side bottom -fill x
    pack [ttk::separator .sep] -side bottom -fill x
    pack .exp -side bottom -fill x -pady 3

    ttk::panedwindow .pw -orient horizontal
    pack .pw -fill both -expand 1

    # Left: filter, table and the selected name's uses, one above the other.
    ttk::panedwindow .pw.left -orient vertical
    ttk::frame .pw.left.top
    ttk::frame .pw.left.top.bar
    ttk::label .pw.left.top.bar.l -text Filter:
    set W(filter) [ttk::entry .pw.left.top.bar.filter -textvariable ecview::filterText]
    set W(count) [ttk::label .pw.left.top.bar.count -anchor e]
    pack .pw.left.top.bar.l -side left -padx {2 4}
    pack .pw.left.top.bar.count -side right -padx 4
    pack .pw.left.top.bar.filter -side left -fill x -expand 1
    pack .pw.left.top.bar -side top -fill x -pady 2
    set T(vars) [vt::create .pw.left.top.vars {
        {name name w 220 1} {kind kind w 60 0} {type type w 70 0}
        {clock clock w 60 0} {line line e 60 0}
    } ecview::var_row ecview::table_clicked]
    set W(vars) $T(vars).tv
    foreach c {name kind type clock line} {
        $W(vars) heading $c -command [list ecview::sort_click $c]
    }
    pack $T(vars) -fill both -expand 1
    .pw.left add .pw.left.top -weight 3

    ttk::frame .pw.left.uses
    ttk::frame .pw.left.uses.bar
    set W(back) [ttk::button .pw.left.uses.bar.back -text "\u25c0" -width 2 -command ecview::back]
    set W(detail) [ttk::label .pw.left.uses.bar.detail -anchor w -text Uses]
    pack .pw.left.uses.bar.back -side left
    pack .pw.left.uses.bar.detail -side left -fill x -expand 1 -padx 4
    pack .pw.left.uses.bar -side top -fill x
    set T(uses) [vt::create .pw.left.uses.t {
        {rel relation w 70 0} {name name w 160 0} {kind kind w 60 0} {eq equation w 300 1}
    } ecview::use_row ecview::use_clicked]
    set W(uses) $T(uses).tv
    pack $T(uses) -fill both -expand 1
    .pw.left add .pw.left.uses -weight 1
    .pw add .pw.left -weight 2

    # Right: the texts, and the diagnostics below them.
    ttk::panedwindow .pw.right -orient vertical
    set W(notebook) [ttk::notebook .pw.right.nb]
    set W(text) [text_pane .pw.right.nb.lustre]
    set W(source) [text_pane .pw.right.nb.source]
    .pw.right.nb add .pw.right.nb.lustre -text Lustre
    .pw.right.nb add .pw.right.nb.source -text Source
    bind .pw.right.nb <<NotebookTabChanged>> ecview::tab_changed
    .pw.right add .pw.right.nb -weight 3

    ttk::frame .pw.right.diags
    ttk::frame .pw.right.diags.bar
    set W(diaglabel) [ttk::label .pw.right.diags.bar.l -text Diagnostics -anchor w]
    ttk::checkbutton .pw.right.diags.bar.w -text warnings -variable ecview::warnings \
        -command ecview::run_check
    pack .pw.right.diags.bar.w -side right
    pack .pw.right.diags.bar.l -side left -fill x -expand 1 -padx 4
    pack .pw.right.diags.bar -side top -fill x
    set T(diags) [vt::create .pw.right.diags.t {
        {severity severity w 70 0} {line line e 50 0} {column col e 40 0}
        {message message w 400 1}
    } ecview::diag_row ecview::jump]
    set W(diags) $T(diags).tv
    $W(diags) tag configure error -foreground #b00020
    vt::tagcommand $T(diags) ecview::diag_tags
    pack $T(diags) -fill both -expand 1
    .pw.right add .pw.right.diags -weight 1
    .pw add .pw.right -weight 3

    trace add variable ecview::filterText write {apply {args {
        after cancel ecview::apply_filter
        after idle ecview::apply_filter
    }}}
    trace add variable ecview::expression write {apply {args {
        after cancel ecview::type_expression
        after idle ecview::type_expression
    }}}
    bind $W(filter) <Escape> {set ecview::filterText ""}
    bind $W(filter) <Down> {focus [ecview::widget vars]}
    bind . <Control-o> ecview::choose
    bind . <Control-r> ecview::reload
    bind . <F5> ecview::reload
    bind . <Control-s> {ecview::choose_save lustre}
    bind . <Control-q> exit
    bind . <Control-f> {focus [ecview::widget filter]}
    bind . <Control-e> {focus [ecview::widget expr]}
    bind . <Alt-Left> ecview::back
    bind .pw <Configure> ecview::place_sashes
}

# The sashes, once the window has its size: the table takes about a third
# of the width, the texts two thirds of the height.
proc ecview::place_sashes {} {
    bind .pw <Configure> {}
    update idletasks
    .pw.right sashpos 0 [expr {[winfo height .pw.right] * 70 / 100}]
    .pw.left sashpos 0 [expr {[winfo height .pw.left] * 64 / 100}]
    widen_table
}

# The table's pane gets the width its columns need, from a third up to half
# of the window; the name column, the one that stretches, takes what the
# pane has beyond the others and grows with it.
proc ecview::widen_table {} {
    variable W
    set need 24
    foreach c [$W(vars) cget -columns] { incr need [$W(vars) column $c -width] }
    set total [winfo width .pw]
    if {$total < 100} return
    .pw sashpos 0 [expr {max($total * 36 / 100, min($total / 2, $need))}]
}

# A read-only text with both scrollbars, highlighted where it is seen.
proc ecview::text_pane {f} {
    ttk::frame $f
    set t $f.text
    text $t -font TkFixedFont -wrap none -state disabled -undo 0 -width 80 -height 20 \
        -yscrollcommand [list ecview::text_scrolled $t $f.ys] -xscrollcommand [list $f.xs set] \
        -highlightthickness 0 -borderwidth 0 -padx 4
    ttk::scrollbar $f.ys -orient vertical -command [list $t yview]
    ttk::scrollbar $f.xs -orient horizontal -command [list $t xview]
    grid $t $f.ys -sticky nsew
    grid $f.xs -sticky ew
    grid rowconfigure $f 0 -weight 1
    grid columnconfigure $f 0 -weight 1
    $t tag configure keyword -foreground #6a1b9a -font ecview::bold
    $t tag configure type -foreground #00695c
    $t tag configure comment -foreground #7c7c7c -font ecview::italic
    $t tag configure decl -background #e3efff
    $t tag configure eq -background #fff1a8
    $t tag configure occ -background #ffd59a
    $t tag configure here -background #ffe0b2
    $t tag configure herecol -background #e65100 -foreground white
    $t tag configure errline -background #ffcdd2
    $t tag configure errcol -background #c62828 -foreground white
    $t tag raise sel
    bind $t <ButtonRelease-1> [list ecview::text_clicked $t %x %y]
    return $t
}

proc ecview::set_text {t text} {
    variable hl
    $t configure -state normal
    $t delete 1.0 end
    $t insert end $text
    $t configure -state disabled
    array unset hl $t,*
}

# ------------------------------------------------------------ highlighting
#
# Lines are highlighted in blocks of 100 when they come into sight, so that
# opening a program of 200,000 lines costs the highlighting of one screen.

proc ecview::text_scrolled {t ys first last} {
    $ys set $first $last
    after cancel [list ecview::highlight_visible $t]
    after idle [list ecview::highlight_visible $t]
}

proc ecview::highlight_visible {t} {
    variable hl
    if {![winfo exists $t]} return
    set first [expr {int([$t index @0,0])}]
    set last [expr {int([$t index "@0,[winfo height $t]"])}]
    for {set b [expr {($first - 1) / 100}]} {$b <= ($last - 1) / 100} {incr b} {
        if {![info exists hl($t,$b)]} {
            set hl($t,$b) 1
            highlight_block $t [expr {$b * 100 + 1}] [expr {$b * 100 + 101}]
        }
    }
    mark_occurrences $t $first $last
}

proc ecview::highlight_block {t from to} {
    variable keywords
    variable typeNames
    set kw "\\m(?:[join $keywords |])\\M"
    set ty "\\m(?:[join [concat bool int real true false $typeNames] |])\\M"
    set n $from
    foreach line [split [$t get $from.0 $to.0] \n] {
        foreach {re tag} [list $kw keyword $ty type] {
            foreach range [regexp -all -inline -indices $re $line] {
                lassign $range s e
                $t tag add $tag $n.$s $n.[incr e]
            }
        }
        # Comments: "--" to the end of the line, "(* ... *)" possibly over
        # several lines (its end is searched in the text). The comment tag
        # is above the others, so keywords inside comments do not show.
        set col 0
        while 1 {
            set c [string first -- $line $col]
            set p [string first "(*" $line $col]
            if {$p >= 0 && ($c < 0 || $p < $c)} {
                set end [$t search -exact "*)" $n.[expr {$p + 2}] end]
                set end [expr {$end eq "" ? "end" : [$t index "$end + 2 chars"]}]
                $t tag add comment $n.$p $end
                if {$end eq "end" || int($end) != $n} break
                set col [lindex [split $end .] 1]
            } elseif {$c >= 0} {
                $t tag add comment $n.$c "$n.0 lineend"
                break
            } else {
                break
            }
        }
        incr n
    }
}

# Occurrences of the selected name in the lines in sight.
proc ecview::mark_occurrences {t first last} {
    variable selected
    $t tag remove occ 1.0 end
    if {$selected eq ""} return
    set re "\\m[regsub -all {\W} $selected {\\&}]\\M"
    set n $first
    foreach line [split [$t get $first.0 "$last.0 lineend"] \n] {
        foreach range [regexp -all -inline -indices $re $line] {
            lassign $range s e
            $t tag add occ $n.$s $n.[incr e]
        }
        incr n
    }
}

# Scrolls a text so that a line shows about a fifth of the way down.
proc ecview::show_line {t line} {
    set total [expr {int([$t index end]) - 1}]
    set rows [expr {max(1, [winfo height $t] / [font metrics [$t cget -font] -linespace])}]
    set first [expr {int([lindex [$t yview] 0] * $total) + 1}]
    if {$line > $first && $line < $first + $rows - 1} return
    $t yview [expr {max(1, $line - $rows / 5)}].0
}

# --------------------------------------------------------------- loading

proc ecview::choose {} {
    variable file
    set dir [expr {$file ne "" ? [file dirname $file] : [pwd]}]
    set path [tk_getOpenFile -initialdir $dir -filetypes {{{ec programs} .ec} {{all files} *}}]
    if {$path ne ""} { open_file $path }
}

proc ecview::reload {} {
    variable file
    if {$file eq ""} { say "nothing to reload" 1; return 0 }
    open_file $file 1
}

proc ecview::drop_program {} {
    variable prog
    if {$prog ne ""} { rename $prog "" }
    set prog ""
}

proc ecview::reset_views {} {
    variable T
    variable W
    # The tables first: their rows are drawn from the arrays emptied below.
    vt::setkeys $T(vars) {}
    vt::setkeys $T(uses) {}
    vt::setkeys $T(diags) {}
    foreach a {kindOf info eqLine declLine done} { variable $a; array unset $a }
    variable names {}
    variable order {}
    variable lustreLines {}
    variable diags {}
    variable queue {}
    variable typeNames {}
    $W(count) configure -text ""
    $W(detail) configure -text Uses
    $W(diaglabel) configure -text Diagnostics
    set_text $W(text) ""
    set_text $W(source) ""
    variable sourceShown 0
    variable counts ""
    variable progress 0
    variable indexAt 0
    variable fillAt
    unset -nocomplain fillAt
}

# Reads a program. With keep (a reload), the filter, sort, selection and
# view stay as they were when the names are still there.
proc ecview::open_file {path {keep 0}} {
    variable prog
    variable file
    variable generation
    variable names
    variable selected
    variable W
    incr generation
    set start [clock milliseconds]
    set wasSelected $selected
    set view [lindex [$W(text) yview] 0]
    say "reading [file tail $path]..."
    variable progress 5
    busy 1
    update idletasks

    variable progCount
    set new ::ecview::program[incr progCount]
    ecprg $new
    if {[catch {$new load $path} message options]} {
        rename $new ""
        busy 0
        load_failed $path [dict get $options -errorcode]
        return 0
    }
    drop_program
    set prog $new
    set file [file normalize $path]
    read_source $file
    if {!$keep} {
        variable filterText ""
        variable sortColumn ""
        variable sortDecreasing 0
        set wasSelected ""
        variable history {}
    }
    set selected ""
    reset_views
    variable progress 30
    variable kindOf
    variable typeNames [lmap t [$prog types] {dict get $t name}]
    set names {}
    foreach kind {input output local const} {
        set some [$prog vars -kind $kind]
        lappend names {*}$some
        foreach n $some { set kindOf($n) $kind }
    }
    fit_name_column
    widen_table
    sort_order
    apply_filter
    variable progress 50
    update idletasks

    # The text's leading blank lines are dropped: the index counts the lines
    # of what the widget holds.
    set text [string trimleft [$prog text] \n]
    variable lustreLines [split $text \n]
    set_text $W(text) $text
    unset text
    variable progress 80
    wm title . "ecview \u2014 [file tail $file] \u2014 [$prog profile]"
    show_counts
    if {$keep} { $W(text) yview moveto $view }
    $W(notebook) select 0
    update idletasks
    variable loadTime [expr {[clock milliseconds] - $start}]
    say "[file tail $file]: shown in $loadTime ms"
    show_counts

    run_in_background {index_text fill_info check_task}
    if {$wasSelected ne "" && [info exists kindOf($wasSelected)]} { select $wasSelected 0 }
    return 1
}

# The counts of the status line; "equations" once the text is indexed.
proc ecview::show_counts {} {
    variable prog
    variable counts
    variable done
    variable eqCount
    variable loadTime
    if {$prog eq ""} { set counts ""; return }
    set parts {}
    foreach {op what} {nb-ins inputs nb-outs outputs nb-locs locals} {
        lappend parts "[$prog $op] $what"
    }
    lappend parts "[llength [$prog vars -kind const]] constants"
    lappend parts "[$prog nb-asts] assertions"
    lappend parts "[expr {[info exists done(index_text)] ? $eqCount : "?"}] equations"
    if {[info exists loadTime]} { lappend parts "loaded in $loadTime ms" }
    set counts [join $parts ", "]
}

# The name column fits the longest names (measured among the 200 longest
# by count of characters: measuring 100,000 names would take long).
proc ecview::fit_name_column {} {
    variable T
    variable names
    set max 0
    foreach n $names { if {[string length $n] > $max} { set max [string length $n] } }
    set longest [lsearch -all -inline -regexp $names "^.{[expr {max(0, $max - 3)}],}$"]
    vt::fit $T(vars) name [lrange $longest 0 199] [expr {[winfo screenwidth .] / 2}]
}

# A failed load: no program is shown; the file's own text is, with the line
# named by the error code highlighted, and the diagnostics list the error.
proc ecview::load_failed {path code} {
    variable T
    variable file [file normalize $path]
    variable W
    variable diags
    drop_program
    reset_views
    lassign [load_error_text $path $code] message line column
    set_text $W(source) [read_source $path]
    variable sourceShown 1
    set diags [list [dict create severity error line $line column $column code load subject "" \
                         message $message]]
    vt::setkeys $T(diags) {0}
    $W(diaglabel) configure -text "Diagnostics: the file was not read"
    $W(notebook) select 1
    update idletasks
    if {$line > 0} { mark_place $W(source) $line $column errline errcol }
    wm title . "ecview \u2014 [file tail $path] (not read)"
    say $message 1
}

# {message line column} of a failed load, from its error code.
proc ecview::load_error_text {path code} {
    set name [file tail $path]
    switch -- [lindex $code 1] {
        SYNTAX {
            lassign $code - - - line column near reason
            set message "$name: syntax error at line $line, column $column"
            if {$near eq "EOF"} {
                append message ": unexpected end of file"
            } elseif {$near ne ""} {
                append message " near '$near'"
            }
            # The reader's own words, unless they only repeat the above.
            if {$reason ne "" && ![string match "syntax error*" $reason]} {
                append message " ($reason)"
            }
            return [list $message $line $column]
        }
        IO { return [list "$name: cannot read it: [string tolower [lindex $code 3] 0 0]" 0 0] }
        EMPTY { return [list "$name: no node in this file" 0 0] }
        default { return [list "$name: cannot be read ([join [lrange $code 1 end]])" 0 0] }
    }
}

# Highlights a line and the character at a column (1-based), and shows it.
proc ecview::mark_place {t line column linetag coltag} {
    $t tag remove $linetag 1.0 end
    $t tag remove $coltag 1.0 end
    $t tag add $linetag $line.0 "$line.0 lineend + 1 char"
    if {$column > 0} {
        set c [expr {$column - 1}]
        $t tag add $coltag $line.$c "$line.$c + 1 char"
    }
    show_line $t $line
}

# The file's text, kept for the Source tab ("" when it cannot be read).
proc ecview::read_source {path} {
    variable sourceText ""
    if {![catch {open $path} f]} {
        catch {set sourceText [read $f]}
        close $f
    }
    return $sourceText
}

proc ecview::tab_changed {} {
    variable W
    if {[$W(notebook) index current] == 1} show_source
}

# The file's text goes into the Source tab when first needed.
proc ecview::show_source {} {
    variable sourceShown
    variable sourceText
    variable W
    if {$sourceShown} return
    set sourceShown 1
    set_text $W(source) $sourceText
}

# ------------------------------------------------------ background work
#
# Tasks run in slices from the event loop: each call of a task does a slice
# and returns 1 while it has more to do. A load bumps the generation, which
# stops the tasks of the program before.

proc ecview::run_in_background {tasks} {
    variable queue $tasks
    variable generation
    variable progress 85
    busy 1
    after idle [list after 0 [list ecview::background_step $generation]]
}

proc ecview::busy {on} {
    variable W
    if {$on} {
        pack $W(progress) -side right -padx 4 -before $W(counts)
    } else {
        pack forget $W(progress)
    }
}

proc ecview::background_step {gen} {
    variable generation
    variable queue
    if {$gen != $generation || ![llength $queue]} return
    step_task
    after idle [list after 0 [list ecview::background_step $gen]]
}

proc ecview::step_task {} {
    variable queue
    variable progress
    variable status
    if {![llength $queue]} return
    if {![[lindex $queue 0]]} {
        set queue [lrange $queue 1 end]
    }
    set progress [expr {100 - 5 * [llength $queue]}]
    if {![llength $queue]} { busy 0 }
}

# Runs a task (or all of them) to its end now.
proc ecview::finish {{task ""}} {
    variable queue
    variable done
    if {$task eq ""} {
        while {[llength $queue]} step_task
        return
    }
    if {[info exists done($task)]} return
    while {[$task]} {}
    set queue [lsearch -all -inline -exact -not $queue $task]
}

proc ecview::wait {} { finish }

# Where each name's equation and declaration are in the Lustre text. The
# printer writes an equation as "   a = ...;" or "   a, b = ...;" at the
# start of a line (continuation lines start at the margin), a missing one
# as "   (* a has no equation *)", a declaration as "   a : t;" or
# "   ( a : t ) when c;". The first slice finds the candidate lines (lsearch
# does that at C speed), the next ones read 10,000 of them each.
proc ecview::index_text {} {
    variable lustreLines
    variable eqLine
    variable declLine
    variable indexAt
    variable indexTodo
    variable indexLet
    variable eqCount
    variable done
    if {$indexAt == 0} {
        set let [lsearch -exact $lustreLines let]
        if {$let < 0} { set let [llength $lustreLines] }
        set head [lsearch -all -glob [lrange $lustreLines 0 $let] "   *:*"]
        # Lines before "let" are declarations; the body's are numbered
        # from "let" by this search.
        set body [lsearch -all -glob [lrange $lustreLines $let end] "   *"]
        set indexTodo [concat $head $body]
        set indexLet [list [llength $head] $let]
        set eqCount 0
    }
    lassign $indexLet firstBody let
    set at $indexAt
    foreach i [lrange $indexTodo $indexAt [expr {$indexAt + 9999}]] {
        if {$at >= $firstBody} { incr i $let }
        set line [lindex $lustreLines $i]
        incr i
        if {[incr at] <= $firstBody} {
            set name [string trim [string range $line 3 [string first " :" $line]] " ("]
            if {[string is wordchar -strict $name]} { set declLine($name) $i }
            continue
        }
        set p [string first " = " $line]
        if {$p >= 0} {
            set lhs [string range $line 3 [expr {$p - 1}]]
            if {[string is wordchar -strict $lhs]} {
                set eqLine($lhs) $i
                incr eqCount
            } elseif {[regexp {^[A-Za-z_]\w*(?:, [A-Za-z_]\w*)+$} $lhs]} {
                foreach name [split [string map {", " ,} $lhs] ,] { set eqLine($name) $i }
                incr eqCount
            }
        } elseif {[regexp {^   \(\* ([A-Za-z_]\w*) has no equation \*\)} $line - name]} {
            set eqLine($name) $i
        }
    }
    incr indexAt 10000
    if {$indexAt < [llength $indexTodo]} { return 1 }
    set lustreLines {}
    set indexTodo {}
    set indexAt 0
    set done(index_text) 1
    show_counts
    return 0
}

# The line of a name's equation (what eq) or declaration (what decl) in the
# Lustre text; 0 when there is none. Before the index is complete, the lines
# are searched (a few lsearch of the list of lines).
proc ecview::line_of {what name} {
    variable done
    variable eqLine
    variable declLine
    variable lustreLines
    if {[info exists done(index_text)]} {
        set a [expr {$what eq "eq" ? "eqLine" : "declLine"}]
        return [expr {[info exists ${a}($name)] ? [set ${a}($name)] : 0}]
    }
    set let [lsearch -exact $lustreLines let]
    if {$what eq "decl"} {
        foreach pattern [list "   $name :*" "   ( $name :*"] {
            set i [lsearch -glob [lrange $lustreLines 0 $let] $pattern]
            if {$i >= 0} { return [incr i] }
        }
        return 0
    }
    foreach pattern [list "   $name = *" "   $name, *" "   *, $name = *" "   *, $name, *" \
                         "   (\\* $name has no equation \\*)"] {
        set i [lsearch -glob -start $let $lustreLines $pattern]
        if {$i >= 0} { return [incr i] }
    }
    return 0
}

# The table's columns beyond name and kind, for every name.
proc ecview::fill_info {} {
    variable T
    variable names
    variable info
    variable fillAt
    variable done
    if {![info exists fillAt]} { set fillAt 0 }
    set end [expr {min([llength $names], $fillAt + 2500)}]
    foreach n [lrange $names $fillAt [expr {$end - 1}]] {
        if {![info exists info($n)]} { fetch_info $n }
    }
    set fillAt $end
    if {$end < [llength $names]} { return 1 }
    unset fillAt
    set done(fill_info) 1
    set types {}
    set clocks {}
    foreach n $names {
        lappend types [lindex $info($n) 1]
        lappend clocks [lindex $info($n) 2]
    }
    vt::fit $T(vars) type [lsort -unique $types] 300
    vt::fit $T(vars) clock [lsort -unique $clocks] 300
    return 0
}

proc ecview::fetch_info {name} {
    variable prog
    variable info
    set d [$prog var $name]
    set info($name) [list [dict get $d kind] [dict get $d type] [dict get $d clock] \
                         [dict get $d line] [dict get $d equation]]
}

proc ecview::check_task {} {
    run_check
    variable done
    set done(check_task) 1
    return 0
}

proc ecview::run_check {} {
    variable T
    variable prog
    variable diags
    variable warnings
    variable W
    if {$prog eq ""} return
    # Errors first, each kind in the order of the file.
    set found [$prog check -warnings $warnings]
    set diags [concat [lsearch -all -inline -exact -index 1 $found error] \
                   [lsearch -all -inline -exact -index 1 $found warning]]
    set errors [llength [lsearch -all -exact -index 1 $diags error]]
    set text "Diagnostics: $errors error[expr {$errors == 1 ? "" : "s"}]"
    if {$warnings} {
        set n [expr {[llength $diags] - $errors}]
        append text ", $n warning[expr {$n == 1 ? "" : "s"}]"
    }
    if {![llength $diags]} { set text "Diagnostics: none, the program is well formed" }
    $W(diaglabel) configure -text $text
    set keys {}
    for {set i 0} {$i < [llength $diags]} {incr i} { lappend keys $i }
    vt::setkeys $T(diags) $keys
    set last [lindex $diags end]
    if {$last ne ""} {
        set t $T(diags)
        vt::fit $t severity [expr {$errors ? "error" : "warning"}]
        set lines [lsearch -all -inline -index 3 -subindices $diags *]
        vt::fit $t line [list [tcl::mathfunc::max {*}$lines]]
    }
}

# ---------------------------------------------------------------- table

proc ecview::var_row {name} {
    variable info
    if {![info exists info($name)]} { fetch_info $name }
    lassign $info($name) kind type clock line
    list $name $kind $type $clock $line
}

proc ecview::sort_click {column} {
    variable sortColumn
    variable sortDecreasing
    sort $column [expr {$column eq $sortColumn ? !$sortDecreasing : 0}]
}

proc ecview::sort {column {decreasing 0}} {
    variable sortColumn $column
    variable sortDecreasing $decreasing
    variable W
    if {$column ni {name kind type clock line}} { error "no column '$column'" }
    sort_order
    foreach c {name kind type clock line} {
        set arrow [expr {$c ne $column ? "" : $decreasing ? " \u25bc" : " \u25b2"}]
        $W(vars) heading $c -text $c$arrow
    }
    apply_filter
}

proc ecview::sort_order {} {
    variable names
    variable order
    variable sortColumn
    variable sortDecreasing
    variable info
    variable prog
    if {$prog eq ""} { set order {}; return }
    set direction [expr {$sortDecreasing ? "-decreasing" : "-increasing"}]
    switch -- $sortColumn {
        "" { set order $names }
        name { set order [lsort -dictionary $direction $names] }
        kind {
            # Declaration order is by kind already; each kind keeps it.
            set kinds {input output local const}
            if {$sortDecreasing} { set kinds [lreverse $kinds] }
            set order {}
            foreach kind $kinds { lappend order {*}[$prog vars -kind $kind] }
        }
        default {
            say "sorting by $sortColumn..."
            update idletasks
            finish fill_info
            set field [lsearch -exact {kind type clock line} $sortColumn]
            set pairs [lmap n $names {list [lindex $info($n) $field] $n}]
            set kind [expr {$sortColumn eq "line" ? "-integer" : "-dictionary"}]
            set order [lmap p [lsort $kind $direction -index 0 $pairs] {lindex $p 1}]
            say "sorted by $sortColumn"
        }
    }
}

# The filter: a substring of the names, or a glob pattern when it holds
# * ? or [ (case is ignored either way).
proc ecview::apply_filter {} {
    variable T
    variable order
    variable filterText
    variable W
    set f [string trim $filterText]
    if {$f eq ""} {
        set shown $order
    } else {
        set pattern [expr {[regexp {[*?\[]} $f] ? $f : "*$f*"}]
        set shown [lsearch -all -inline -nocase -glob $order $pattern]
    }
    vt::setkeys $T(vars) $shown
    $W(count) configure -text "[llength $shown] of [llength $order]"
    return [llength $shown]
}

proc ecview::filter {args} {
    variable filterText
    if {[llength $args]} {
        set filterText [lindex $args 0]
        after cancel ecview::apply_filter
        return [apply_filter]
    }
    return $filterText
}

proc ecview::rows {} { variable T; vt::keys $T(vars) }
proc ecview::selected {} { variable selected; return $selected }

# --------------------------------------------------------------- selection

# Selects a variable or constant everywhere: the table (the filter is
# cleared when it hides the name), the Lustre text (its equation, or its
# declaration when it has none) and the uses list.
proc ecview::select {name {remember 1}} {
    variable T
    variable prog
    variable kindOf
    variable selected
    variable history
    variable W
    if {$prog eq ""} { return 0 }
    if {![info exists kindOf($name)]} {
        say "'$name' is not a variable or constant of [$prog profile]" 1
        return 0
    }
    if {$remember && $selected ne "" && $selected ne $name} {
        lappend history $selected
        set history [lrange $history end-99 end]
    }
    set selected $name
    if {![vt::see $T(vars) $name]} {
        filter ""
    }
    vt::select $T(vars) $name

    set t $W(text)
    $t tag remove eq 1.0 end
    $t tag remove decl 1.0 end
    set decl [line_of decl $name]
    set first [line_of eq $name]
    if {$decl} {
        $t tag add decl $decl.0 "$decl.0 lineend + 1 char"
    }
    if {$first} {
        set last $first
        while {$last < $first + 1000 &&
               ![string match "*;" [$t get $last.0 "$last.0 lineend"]] &&
               ![string match "*\\*)" [$t get $last.0 "$last.0 lineend"]]} { incr last }
        $t tag add eq $first.0 "$last.0 lineend + 1 char"
        show_line $t $first
    } elseif {$decl} {
        show_line $t $decl
    }
    highlight_visible $t
    if {[winfo exists $W(source)]} { highlight_visible $W(source) }
    show_uses $name
    variable info
    if {![info exists info($name)]} { fetch_info $name }
    lassign $info($name) kind type clock line
    say "$name: $kind $type[expr {$clock ne "" ? " when $clock" : ""}], declared at line $line"
    return 1
}

# Moving in the table is not a jump to remember for Back; the others are.
proc ecview::table_clicked {name} { select $name 0 }

proc ecview::back {} {
    variable history
    if {![llength $history]} return
    set name [lindex $history end]
    set history [lrange $history 0 end-1]
    select $name 0
}

proc ecview::show_uses {name} {
    variable T
    variable prog
    variable W
    set readers [$prog uses $name]
    set reads [$prog deps $name]
    set keys [concat [lmap n $readers {list "read by" $n}] [lmap n $reads {list reads $n}]]
    vt::select $T(uses) ""
    vt::setkeys $T(uses) $keys
    vt::fit $T(uses) name [lrange [concat $readers $reads] 0 499] 400
    $W(detail) configure -text \
        "$name: read by [llength $readers] equation[expr {[llength $readers] == 1 ? "" : "s"}],\
         reads [llength $reads] name[expr {[llength $reads] == 1 ? "" : "s"}]"
}

proc ecview::use_row {key} {
    variable info
    lassign $key rel name
    if {![info exists info($name)]} { fetch_info $name }
    list $rel $name [lindex $info($name) 0] [lindex $info($name) 4]
}

proc ecview::use_clicked {key} { select [lindex $key 1] }
proc ecview::uses {} { variable T; vt::keys $T(uses) }

# A click in a text selects the name under the mouse (not after a drag
# that selected text).
proc ecview::text_clicked {t x y} {
    variable kindOf
    if {[llength [$t tag ranges sel]]} return
    set at [$t index @$x,$y]
    set word [$t get "$at wordstart" "$at wordend"]
    if {[info exists kindOf($word)]} { select $word }
}

# ------------------------------------------------------------- diagnostics

proc ecview::diag_row {i} {
    variable diags
    set d [lindex $diags $i]
    list [dict get $d severity] [dict get $d line] [dict get $d column] [dict get $d message]
}

proc ecview::diag_tags {i} {
    variable diags
    dict get [lindex $diags $i] severity
}

proc ecview::diagnostics {} { variable diags; return $diags }

# Goes to a diagnostic: its line and column in the Source tab (the lines
# are the file's), and its subject, when it is a name, in the table, the
# Lustre text and the uses list.
proc ecview::jump {i} {
    variable T
    variable diags
    variable kindOf
    variable W
    set d [lindex $diags $i]
    if {$d eq ""} { return 0 }
    vt::select $T(diags) $i
    set subject [dict get $d subject]
    if {$subject ne "" && [info exists kindOf($subject)]} { select $subject }
    show_source
    $W(notebook) select 1
    update idletasks
    set line [dict get $d line]
    if {$line > 0} {
        set tags [expr {[dict get $d severity] eq "error" ? "errline errcol" : "here herecol"}]
        foreach tag {here herecol errline errcol} { $W(source) tag remove $tag 1.0 end }
        mark_place $W(source) $line [dict get $d column] {*}$tags
    }
    say "line $line: [dict get $d message]" [expr {[dict get $d severity] eq "error"}]
    return 1
}

# ------------------------------------------------------------- expressions

proc ecview::type_expression {} {
    variable expression
    exptype $expression
}

# Types an expression and shows the type, or what is wrong in the words of
# a Lustre programmer, built from the error code (the error's message names
# the reader's internal node kinds).
proc ecview::exptype {text} {
    variable prog
    variable W
    if {[string trim $text] eq ""} {
        set message ""
        set error 0
    } elseif {$prog eq ""} {
        set message "no program: open an ec file first"
        set error 1
    } elseif {[catch {$prog exp-type $text} type options]} {
        set message [expression_error [dict get $options -errorcode] $text]
        set error 1
    } else {
        set message "type: $type"
        set error 0
    }
    $W(exptype) configure -text $message -foreground [expr {$error ? "#b00020" : "#1b5e20"}]
    return $message
}

proc ecview::expression_error {code text} {
    set words [lrange $code 2 end]
    switch -- [lindex $code 1] {
        TYPE { return "type error: expected [lindex $words 0], found [lindex $words 1]" }
        UNDECLARED { return "'[lindex $words 0]' is not declared" }
        SYNTAX {
            lassign $words - line column near
            if {$near eq "EOF"} {
                return "syntax error at line $line, column $column: the expression is incomplete"
            }
            return "syntax error at line $line, column $column near '$near'"
        }
        UNSUPPORTED { return "the type of this expression cannot be computed" }
        NOPROGRAM { return "no program: open an ec file first" }
        default { return "the expression cannot be typed" }
    }
}

# ---------------------------------------------------------------- saving

proc ecview::choose_save {form} {
    variable prog
    variable file
    if {$prog eq ""} { say "no program to save" 1; return }
    set ext [expr {$form eq "ec" ? ".ec" : ".lus"}]
    set path [tk_getSaveFile -initialdir [file dirname $file] -defaultextension $ext \
                  -initialfile [file rootname [file tail $file]]$ext]
    if {$path ne ""} { save $path $form }
}

# Writes the program's Lustre (or ec) text through a Tcl channel.
proc ecview::save {path {form lustre}} {
    variable prog
    if {$prog eq ""} { say "no program to save" 1; return 0 }
    if {[catch {
        set chan [open $path w]
        try {
            if {$form eq "ec"} {
                $prog dump -ec -channel $chan
            } else {
                $prog dump -channel $chan
            }
        } finally {
            close $chan
        }
    } message]} {
        say "cannot save [file tail $path]: [lindex [split $message \n] end]" 1
        return 0
    }
    say "saved [file tail $path]"
    return 1
}

# Errors of event scripts go to the status line, never to a dialog.
proc bgerror {message} { ecview::say $message 1 }

ecview::build
if {[llength $argv] > 0} { ecview::open_file [lindex $argv 0] }
