# inspect.tcl: what an ec program holds.
#
# Usage: tclsh inspect.tcl FILE.ec
#
# Prints the node's profile, a table of its variables and constants (kind,
# name, type, clock, line), each output's and local's equation, its types,
# external functions and assertions, what check finds in it, and the program
# as Lustre text. A file that does not load is reported with the line and
# column where reading stopped.
# The module is found as require_zindle.tcl says: in the build directory
# named by the environment variable ZINDLE_BUILD, or installed.
source [file join [file dirname [info script]] require_zindle.tcl]
wm withdraw .

if {[llength $argv] != 1} {
    puts stderr "usage: tclsh inspect.tcl FILE.ec"
    exit 2
}
set file [lindex $argv 0]

ecprg prog
if {[catch {prog load $file} message options]} {
    puts stderr $message
    set code [dict get $options -errorcode]
    if {[lindex $code 1] eq "SYNTAX"} {
        lassign $code - - path line column near
        puts stderr "$path:$line:$column: near '$near'"
    }
    exit 1
}

puts "profile: [prog profile]"

# One row per variable and constant, in declaration order.
set rows {}
foreach name [prog vars] {
    set v [prog var $name]
    lappend rows [list [dict get $v kind] $name [dict get $v type] [dict get $v clock] \
                      [dict get $v line]]
}
set width 4
foreach row $rows {
    set width [expr {max($width, [string length [lindex $row 1]])}]
}
puts ""
puts [format "%-6s  %-*s  %-6s  %-6s  %s" kind $width name type clock line]
foreach row $rows {
    lassign $row kind name type clock line
    puts [format "%-6s  %-*s  %-6s  %-6s  %s" $kind $width $name $type $clock $line]
}

puts ""
foreach name [prog vars -kind output] { puts "$name = [dict get [prog var $name] equation]" }
foreach name [prog vars -kind local] { puts "$name = [dict get [prog var $name] equation]" }
foreach t [prog types] { puts "type [dict get $t name] ([dict get $t kind]) [dict get $t values]" }
foreach f [prog funcs] {
    puts "function [dict get $f name] [dict get $f inputs] -> [dict get $f outputs]"
}
foreach a [prog asserts] { puts "assert $a" }

puts ""
set found [prog check]
puts "check: [llength $found] diagnostics"
foreach d $found {
    dict with d { puts "  $line:$column: $severity ($code) $message" }
}

puts ""
puts "Lustre text:"
puts [prog text]
exit 0
