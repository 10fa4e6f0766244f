# uses.tcl: the selected name, shown everywhere at once (the table, the
# Lustre text, the uses list under the table), the uses list itself (the
# equations that read the name and the names its own equation reads, each a
# click away), Back to the names selected before, and clicks on names in
# the texts.
namespace eval ecview {
    variable selected ""
    variable history {}         ;# names selected before, for Back
}

# The uses list and its bar (Back, what the list shows), in the frame f.
proc ecview::build_uses {f} {
    variable W
    variable T
    ttk::frame $f
    ttk::frame $f.bar
    set W(back) [ttk::button $f.bar.back -text "\u25c0" -width 2 -command ecview::back]
    set W(detail) [ttk::label $f.bar.detail -anchor w -text Uses]
    pack $f.bar.back -side left
    pack $f.bar.detail -side left -fill x -expand 1 -padx 4
    pack $f.bar -side top -fill x
    set T(uses) [vtable::create $f.t {
        {rel relation w 70 0} {name name w 160 0} {kind kind w 60 0} {eq equation w 300 1}
    } ecview::use_row ecview::use_clicked]
    set W(uses) $T(uses).tv
    pack $T(uses) -fill both -expand 1
    return $f
}

# A new program: nothing selected; with keep (a reload), Back keeps its
# names.
proc ecview::reset_uses {keep} {
    variable T
    variable W
    vtable::setkeys $T(uses) {}
    $W(detail) configure -text Uses
    variable selected ""
    if {!$keep} { variable history {} }
}

proc ecview::selected {} { variable selected; return $selected }

# Selects a variable or constant everywhere: the table (the filter is
# cleared when it hides the name), the Lustre text (its equation, or its
# declaration when it has none) and the uses list.
proc ecview::select {name {remember 1}} {
    variable T
    variable prog
    variable kindOf
    variable selected
    variable history
    variable info
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
    if {![vtable::see $T(vars) $name]} {
        filter ""
    }
    vtable::select $T(vars) $name
    show_in_text $name
    show_uses $name
    if {![info exists info($name)]} { fetch_info $name }
    lassign $info($name) kind type clock line
    say "$name: $kind $type[expr {$clock ne "" ? " when $clock" : ""}], declared at line $line"
    return 1
}

# Marks a name's declaration and equation (to the line that ends it) in
# the Lustre text, and scrolls to the equation, or to the declaration when
# there is none.
proc ecview::show_in_text {name} {
    variable W
    set t $W(text)
    $t tag remove eq 1.0 end
    $t tag remove decl 1.0 end
    set decl [line_of declaration $name]
    set first [line_of equation $name]
    if {$decl} {
        $t tag add decl $decl.0 "$decl.0 lineend + 1 char"
    }
    if {$first} {
        set last $first
        while {$last < $first + 1000 && ![string match "*;" [$t get $last.0 "$last.0 lineend"]]} {
            incr last
        }
        $t tag add eq $first.0 "$last.0 lineend + 1 char"
        show_line $t $first
    } elseif {$decl} {
        show_line $t $decl
    }
    highlight_visible $t
    if {[winfo exists $W(source)]} { highlight_visible $W(source) }
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
    vtable::select $T(uses) ""
    vtable::setkeys $T(uses) $keys
    vtable::fit $T(uses) name [lrange [concat $readers $reads] 0 499] 400
    $W(detail) configure -text "$name: read by [plural [llength $readers] equation],\
        reads [plural [llength $reads] name]"
}

proc ecview::use_row {key} {
    variable info
    lassign $key rel name
    if {![info exists info($name)]} { fetch_info $name }
    list $rel $name [lindex $info($name) 0] [lindex $info($name) 4]
}

proc ecview::use_clicked {key} { select [lindex $key 1] }
proc ecview::uses {} { variable T; vtable::keys $T(uses) }

# A click in a text selects the name under the mouse (not after a drag
# that selected text).
proc ecview::text_clicked {t x y} {
    variable kindOf
    if {[llength [$t tag ranges sel]]} return
    set at [$t index @$x,$y]
    set word [$t get "$at wordstart" "$at wordend"]
    if {[info exists kindOf($word)]} { select $word }
}
