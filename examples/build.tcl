# build.tcl: a node built from nothing with the building operations.
#
# Usage: tclsh build.tcl
#
# Starts an empty node "counter", declares its inputs, output and local, an
# external function, builds and type-checks expressions, checks the equations
# (including two that are rejected, with the exact messages), and prints the
# result as Lustre text. Note that `eq' only checks an equation: the program
# keeps no equation, so the printed node says which ones it lacks.
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

ecprg node counter

puts "input  [node add-in bool incr]"
puts "input  [node add-in bool reset]"
puts "output [node add-out int count]"
puts "local  [node add-loc int previous]"
puts "local  [node add-loc real]   (generated name)"
puts "function [node add-func scale int real : real]"
puts "declared as: [node func-decl 0]"
puts "profile: [node profile]"

# Expressions: each is parsed and typed once; its handle is reused below.
set init [node exp "0 -> pre count"]
puts "0 -> pre count : [node exp-type $init]"
set next [node exp "if reset then 0 else if incr then previous + 1 else previous"]
puts "if reset ... : [node exp-type $next]"
puts "scale(count, 0.5) : [node exp-type {scale(count, 0.5)}]"

# Equations: checked against the variables' types.
foreach {var exp} [list previous $init count $next] {
    puts "eq $var: [expr {[node eq $var $exp] eq $exp ? "ok" : "?"}]"
}
foreach {var exp} {count {incr or reset} incr {not reset}} {
    catch {node eq $var $exp} message
    puts "eq $var = $exp: [string map {\n { }} $message]"
}

puts "counts: [node nb-ins] inputs, [node nb-outs] output, [node nb-locs] locals,\
      [node nb-funcs] function"
puts ""
puts "Lustre text:"
# dump writes through the C library: flush Tcl's own buffer first.
flush stdout
node dump
puts ""
exit 0
