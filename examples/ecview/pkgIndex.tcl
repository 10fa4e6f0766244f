# The viewer's packages: vtable, the table widget that holds only the rows
# in sight, and ecview, the viewer, whose parts are sourced in this order
# (state first: the others use it when they run, not when they are read).
package ifneeded vtable 1.0 [list source [file join $dir vtable.tcl]]
package ifneeded ecview 1.0 [list apply {{dir} {
    package require Tk 8.6
    package require vtable 1.0
    foreach part {state background textpane table uses diagnostics expression files
                  chrono chronodraw simpane simrun simfiles window} {
        uplevel #0 [list source [file join $dir $part.tcl]]
    }
    package provide ecview 1.0
}} $dir]
