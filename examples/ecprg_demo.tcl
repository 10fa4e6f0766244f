# Demo of program objects. Either sourced by demo.tcl (the module is loaded
# already) or run alone: tclsh ecprg_demo.tcl <build dir>
# LUSTRE_INSTALL must name an existing directory.
set examplesDir [file dirname [file normalize [info script]]]
if {![info exists zindleBuild]} {
    set zindleBuild [lindex $argv 0]
    if {$zindleBuild eq ""} {
        puts stderr "usage: tclsh ecprg_demo.tcl <build dir>"
        exit 2
    }
    source [file join $examplesDir require_zindle.tcl]
    wm withdraw .
    set ecprgDemoAlone 1
}

# ---------------------------------------------------------------- a loaded program
puts "\n== load counter.ec"
ecprg demo
demo load [file join $examplesDir counter.ec]
puts "profile: [demo profile]"
foreach {kind count} {in nb-ins out nb-outs loc nb-locs} {
    for {set i 0} {$i < [demo $count]} {incr i} {
        puts [format "  %-4s %-10s %s" $kind [demo $kind-name $i] [demo $kind-type $i]]
    }
}
puts "\n== dump (Lustre text, written by the library on standard output)"
flush stdout
demo dump
flush stdout
puts ""

# ---------------------------------------------------------------- running it
puts "\n== run counter.ec: sim step (an input not given keeps its value)"
foreach inputs {{incr 1 reset 0} {} {incr 0} {incr 1} {reset 1} {reset 0}} {
    set outputs [demo sim step $inputs]
    puts [format "  step %d  %-18s -> %s" [demo sim instant] "{$inputs}" $outputs]
}
set made [demo sim run -steps 1000 -until {count = 5}]
puts "sim run -steps 1000 -until {count = 5}: $made steps, count [demo sim value count] at step [demo sim instant]"
puts "sim trace -from 1 -to 4 (CSV):"
puts -nonewline [demo sim trace -from 1 -to 4]

# ---------------------------------------------------------------- built from Tcl
puts "\n== a node built from Tcl"
ecprg built scale
puts "input  [built add-in int x]"
puts "output [built add-out real y]"
puts "local  [built add-loc int]   (a generated name)"
puts "function [built add-func gain real : real]: [built func-decl 0]"
set h [built exp "gain(real(x))"]
puts "exp gain(real(x)) -> handle $h of type [built exp-type $h]"
puts "eq y $h -> [built eq y $h]"
puts "profile: [built profile]"
puts "\n== a type error"
if {[catch {built eq y "x + 1"} message]} {
    puts $message
}
if {[catch {built exp "x + 1.5"} message]} {
    puts $message
}

rename demo {}
rename built {}
if {[info exists ecprgDemoAlone]} { exit 0 }
