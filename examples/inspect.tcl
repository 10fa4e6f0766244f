# inspect.tcl: what an ec program holds.
#
# Usage: tclsh inspect.tcl FILE.ec
#
# Prints the node's profile, a table of its variables (kind, name, type), its
# external functions, the counts, and the program as Lustre text.
# The module is loaded from the build directory named by the environment
# variable ZINDLE_BUILD when it is set, otherwise found with
# `package require Zindle' (an installed package, or TCLLIBPATH). Like every
# use of the package, it needs LUSTRE_INSTALL to name an existing directory
# and Tk to find a display.
package require Tk
wm withdraw .

if {[info exists env(ZINDLE_BUILD)]} {
    load [file join [file normalize $env(ZINDLE_BUILD)] libzindle.so] Quorl
} else {
    package require Zindle
}

if {[llength $argv] != 1} {
    puts stderr "usage: tclsh inspect.tcl FILE.ec"
    exit 2
}
set file [lindex $argv 0]

ecprg prog
if {[catch {prog load $file} message]} {
    puts stderr $message
    exit 1
}

puts "profile: [prog profile]"

# One row per variable, in declaration order: inputs, outputs, locals.
set rows {}
foreach {kind count name type} {
    input  nb-ins  in-name  in-type
    output nb-outs out-name out-type
    local  nb-locs loc-name loc-type
} {
    for {set i 0} {$i < [prog $count]} {incr i} {
        lappend rows [list $kind [prog $name $i] [prog $type $i]]
    }
}
set width 4
foreach row $rows {
    set width [expr {max($width, [string length [lindex $row 1]])}]
}
puts ""
puts [format "%-6s  %-*s  %s" kind $width name type]
foreach row $rows {
    lassign $row kind name type
    puts [format "%-6s  %-*s  %s" $kind $width $name $type]
}

set nbFuncs [prog nb-funcs]
if {$nbFuncs > 0} {
    puts ""
    for {set i 0} {$i < $nbFuncs} {incr i} {
        puts "function [prog func-decl $i]"
    }
}

puts ""
puts "inputs [prog nb-ins], outputs [prog nb-outs], locals [prog nb-locs],\
      assertions [prog nb-asts], functions $nbFuncs"

puts ""
puts "Lustre text:"
# dump writes through the C library: flush Tcl's own buffer first.
flush stdout
prog dump
puts ""
exit 0
