# build.tcl: a complete node built from nothing with the building operations.
#
# Usage: tclsh build.tcl
#
# Starts an empty node "counter", declares an enumerated type, a constant,
# inputs, outputs and a local, an external function, gives every output and
# local its equation and adds an assertion (showing two equations that are
# rejected, with their messages), checks the whole node, prints it as Lustre
# text, and reads its lossless ec text back into a second object to show that
# it is the same program.
# The module is found as require_zindle.tcl says: in the build directory
# named by the environment variable ZINDLE_BUILD, or installed.
source [file join [file dirname [info script]] require_zindle.tcl]
wm withdraw .

ecprg node counter

puts "type     [node add-type mode idle counting]"
puts "constant [node add-const int limit]"
puts "input    [node add-in bool incr]"
puts "input    [node add-in bool reset]"
puts "output   [node add-out int count]"
puts "output   [node add-out real scaled]"
puts "local    [node add-loc int previous]"
puts "function [node add-func scale int real : real]"
puts "profile: [node profile]"

# Equations: typed against their variables, then kept by the program.
node define previous {0 -> pre count}
node define count {if reset then 0 else if incr then previous + 1 else previous}
node define scaled {scale(count, 0.5)}
node assert {count <= limit}
foreach {var exp} {count {incr or reset} incr {not reset}} {
    catch {node define -replace $var $exp} message
    puts "define $var = $exp: [string map {\n { }} $message]"
}
puts "check: [node check]"
puts ""
puts "Lustre text:"
puts [node text]

# The lossless ec text reads back as the same program.
set text [node text -ec]
set f [file tempfile name counter.ec]
puts -nonewline $f $text
close $f
ecprg copy
copy load $name
file delete $name
puts ""
puts "read back: same text [expr {[copy text -ec] eq $text}], check: [copy check]"
foreach var [copy vars] {
    puts "  $var: [copy var $var]"
}
exit 0
