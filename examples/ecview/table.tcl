# table.tcl: the table of variables and constants (name, kind, type, clock,
# line of the declaration, value at the chronogram's cursor) with the
# filter above it: a click on a heading sorts, the filter narrows the rows
# as one types, a double click watches the variable in the chronogram.
namespace eval ecview {
    variable order {}           ;# names in the table's sort order
    variable sortColumn ""
    variable sortDecreasing 0
    variable filterText ""
}

# The filter bar and the table, in the frame f.
proc ecview::build_table {f} {
    variable W
    variable T
    ttk::frame $f
    ttk::frame $f.bar
    ttk::label $f.bar.l -text Filter:
    set W(filter) [ttk::entry $f.bar.filter -textvariable ecview::filterText]
    set W(count) [ttk::label $f.bar.count -anchor e]
    pack $f.bar.l -side left -padx {2 4}
    pack $f.bar.count -side right -padx 4
    pack $f.bar.filter -side left -fill x -expand 1
    pack $f.bar -side top -fill x -pady 2
    set T(vars) [vtable::create $f.vars {
        {name name w 220 1} {kind kind w 60 0} {type type w 70 0}
        {clock clock w 60 0} {line line e 60 0} {value value w 80 0}
    } ecview::var_row ecview::table_clicked]
    set W(vars) $T(vars).tv
    foreach c {name kind type clock line} {
        $W(vars) heading $c -command [list ecview::sort_click $c]
    }
    bind $W(vars) <Double-Button-1> {ecview::lane_add [ecview::selected]}
    pack $T(vars) -fill both -expand 1
    # The filter applies once the keystrokes of a burst are in.
    trace add variable ecview::filterText write {apply {args {
        after cancel ecview::apply_filter
        after idle ecview::apply_filter
    }}}
    bind $W(filter) <Escape> {set ecview::filterText ""}
    bind $W(filter) <Down> {focus [ecview::widget vars]}
    return $f
}

# A new program: no rows until its names are known; with keep (a reload)
# the filter and sort stay.
proc ecview::reset_table {keep} {
    variable T
    variable W
    vtable::setkeys $T(vars) {}
    variable order {}
    variable fillAt
    unset -nocomplain fillAt
    if {!$keep} {
        variable filterText ""
        variable sortColumn ""
        variable sortDecreasing 0
    }
    $W(count) configure -text ""
}

proc ecview::var_row {name} {
    variable info
    if {![info exists info($name)]} { fetch_info $name }
    lassign $info($name) kind type clock line
    list $name $kind $type $clock $line [value_at $name [cursor_step]]
}

# The table's columns beyond name and kind, for every name (a background
# task).
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
    vtable::fit $T(vars) type [lsort -unique $types] 300
    vtable::fit $T(vars) clock [lsort -unique $clocks] 300
    return 0
}

# The name column fits the longest names (measured among the 200 longest
# by count of characters: measuring 100,000 names would take long).
proc ecview::fit_name_column {} {
    variable T
    variable names
    set max 0
    foreach n $names { if {[string length $n] > $max} { set max [string length $n] } }
    set longest [lsearch -all -inline -regexp $names "^.{[expr {max(0, $max - 3)}],}$"]
    vtable::fit $T(vars) name [lrange $longest 0 199] [expr {[winfo screenwidth .] / 2}]
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
    vtable::setkeys $T(vars) $shown
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

proc ecview::rows {} { variable T; vtable::keys $T(vars) }
