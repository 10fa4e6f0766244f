# state.tcl: what the viewer's parts share: the program shown, its names
# and their rows, the widgets by name, and the status line. Each part keeps
# its own state beside its procedures (the table's sort and filter in
# table.tcl, the selection in uses.tcl, ...).
namespace eval ecview {
    variable prog ""            ;# program object command; "" when none
    variable progCount 0
    variable file ""            ;# the file shown (read or failed)
    variable names {}           ;# variables and constants, declaration order
    variable kindOf             ;# array: name -> input|output|local|const
    variable info               ;# array: name -> {kind type clock line equation}
    variable status "Open an ec file (File > Open)"
    variable counts ""          ;# the counts of the status line
    variable W                  ;# array: widget name -> path
    variable T                  ;# array: vars uses diags -> frame of that table
}

proc ecview::widget {name} { variable W; return $W($name) }

proc ecview::say {message {error 0}} {
    variable status [string map {\n " "} $message]
    [widget status] configure -foreground [expr {$error ? "#b00020" : ""}]
}

# A name's row of the table (kind type clock line equation), asked of the
# program the first time it is needed.
proc ecview::fetch_info {name} {
    variable prog
    variable info
    set d [$prog var $name]
    set info($name) [list [dict get $d kind] [dict get $d type] [dict get $d clock] \
                         [dict get $d line] [dict get $d equation]]
}

# The word for a count: "1 equation", "2 equations".
proc ecview::plural {n word} {
    return "$n $word[expr {$n == 1 ? "" : "s"}]"
}
