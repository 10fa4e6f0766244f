# textpane.tcl: the read-only texts (the Lustre text and the file's own
# text): keywords, types and comments highlighted where they are seen, the
# selected name's occurrences marked, a line brought into sight or marked
# with a column. Lines are highlighted in blocks of 100 when they come into
# sight, so that opening a program of 200,000 lines costs the highlighting
# of one screen.
namespace eval ecview {
    variable typeNames {}       ;# the program's type names, highlighted as types
    variable hl                 ;# array: "$t,$block" -> 1 once highlighted
    variable keywords {and assert const current div else function if let mod node nor not
        or pre returns tel then type var when xor}
}

# The notebook of the two texts: the Lustre text and the file's own text
# (filled when its tab is first shown).
proc ecview::build_texts {nb} {
    variable W
    set W(notebook) [ttk::notebook $nb]
    set W(text) [text_pane $nb.lustre]
    set W(source) [text_pane $nb.source]
    $nb add $nb.lustre -text Lustre
    $nb add $nb.source -text Source
    bind $nb <<NotebookTabChanged>> ecview::tab_changed
    return $nb
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

