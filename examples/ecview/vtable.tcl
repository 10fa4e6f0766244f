# vtable.tcl: a table widget that holds only the rows in sight.
#
# A ttk::treeview shows a screenful of rows over a list of keys; a command
# turns a key into the row's values when the row comes into sight. The
# scrollbar, the wheel and the keys move a window over the list, so a table
# of 100,000 rows costs what a screenful costs. Clicks and the arrow keys
# select a key and tell the table's owner through its select command.
#
#   vtable::create W COLUMNS ROWCMD SELECTCMD   a frame W holding the table
#   vtable::tagcommand W CMD    CMD KEY gives a row's tags (beyond stripes)
#   vtable::setkeys W KEYS      new content (the selection stays if present)
#   vtable::keys W, vtable::selection W
#   vtable::see W KEY           bring KEY into sight; 0 when absent
#   vtable::select W KEY ?NOTIFY?  select KEY (with NOTIFY, as a click would)
#   vtable::yview W ...         the scrollbar protocol
#   vtable::fit W COLUMN TEXTS ?MAX?  width of a column from its texts
# The treeview is W.tv.
package require Tk 8.6
package provide vtable 1.0

namespace eval vtable {
    variable T   ;# "$w,field": keys top nvis sel rowcmd selectcmd headh tagcmd
}

# columns: list of {id title anchor width stretch}.
proc vtable::create {w columns rowcmd selectcmd} {
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
    ttk::scrollbar $w.ys -orient vertical -command [list vtable::yview $w]
    ttk::scrollbar $w.xs -orient horizontal -command [list $tv xview]
    grid $tv $w.ys -sticky nsew
    grid $w.xs -sticky ew
    grid rowconfigure $w 0 -weight 1
    grid columnconfigure $w 0 -weight 1
    array set T [list $w,keys {} $w,top 0 $w,nvis 10 $w,sel "" $w,rowcmd $rowcmd \
                     $w,selectcmd $selectcmd $w,headh 0 $w,tagcmd ""]
    bind $tv <Configure> "[list unset -nocomplain vtable::T($w,measured)]
        [list vtable::resize $w]"
    bind $tv <MouseWheel> [list vtable::wheel $w %D]
    bind $tv <Button-4> "[list vtable::yview $w scroll -3 units]; break"
    bind $tv <Button-5> "[list vtable::yview $w scroll 3 units]; break"
    bind $tv <Button-1> [list vtable::click $w %x %y]
    foreach {key step} {Up -1 Down 1 Prior -page Next page Home -all End all} {
        bind $tv <Key-$key> "[list vtable::move $w $step]; break"
    }
    return $w
}

# A command that gives a row's tags beyond the stripes, from its key.
proc vtable::tagcommand {w command} {
    variable T
    set T($w,tagcmd) $command
}

proc vtable::rowheight {} {
    set h [ttk::style lookup Treeview -rowheight]
    if {![string is integer -strict $h]} { set h 20 }
    return $h
}

proc vtable::resize {w} {
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

proc vtable::wheel {w delta} {
    yview $w scroll [expr {$delta > 0 ? -3 : 3}] units
    return -code break
}

# Scrollbar protocol: moveto FRACTION, scroll N units|pages.
proc vtable::yview {w args} {
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

proc vtable::redraw {w} {
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
        after idle [list vtable::resize $w]
    }
    if {$n == 0} {
        $w.ys set 0 1
    } else {
        $w.ys set [expr {double($top) / $n}] [expr {double($top + $shown) / $n}]
    }
}

# New content; the selection stays when its key is still there.
proc vtable::setkeys {w keys} {
    variable T
    set T($w,keys) $keys
    set T($w,top) 0
    if {$T($w,sel) ne "" && ![see $w $T($w,sel)]} { set T($w,sel) "" }
    redraw $w
}

proc vtable::keys {w} { variable T; return $T($w,keys) }
proc vtable::selection {w} { variable T; return $T($w,sel) }

# Brings a key into sight (centred when it was out of sight); 0 when absent.
proc vtable::see {w key} {
    variable T
    set i [lsearch -exact $T($w,keys) $key]
    if {$i < 0} { return 0 }
    if {$i < $T($w,top) || $i >= $T($w,top) + $T($w,nvis)} {
        set T($w,top) [expr {max(0, $i - $T($w,nvis) / 2)}]
    }
    return 1
}

# Selects a key; with notify, tells the table's owner as a user's click would.
proc vtable::select {w key {notify 0}} {
    variable T
    set T($w,sel) $key
    if {$key ne ""} { see $w $key }
    redraw $w
    if {$notify && $key ne ""} { uplevel #0 [list {*}$T($w,selectcmd) $key] }
}

proc vtable::click {w x y} {
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

proc vtable::move {w step} {
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
proc vtable::fit {w column texts {max 600}} {
    set font [ttk::style lookup Treeview -font]
    if {$font eq ""} { set font TkDefaultFont }
    set width 0
    foreach t $texts { set width [expr {max($width, [font measure $font $t] + 18)}] }
    set min [expr {[font measure TkHeadingFont [$w.tv heading $column -text]] + 24}]
    $w.tv column $column -width [expr {min($max, max($min, $width))}]
}
