# Demo of the zindle module. Usage: tclsh demo.tcl <build dir>
# LUSTRE_INSTALL must name an existing directory (scripts/demo.sh sets it).

# ---------------------------------------------------------------- loading
set zindleBuild [lindex $argv 0]
if {$zindleBuild eq ""} {
    puts stderr "usage: tclsh demo.tcl <build dir>"
    exit 2
}
source [file join [file dirname [info script]] require_zindle.tcl]
wm withdraw .
puts "Zindle [package require Zindle] loaded from [file normalize $zindleBuild]"
puts "LUSTRE_INSTALL is $lustre_install; tcl_libPath ends with [lindex $tcl_libPath end]"

# ---------------------------------------------------------------- commands
puts "\n== help"
flush stdout   ;# help writes through the C library, not the Tcl channel
help
flush stdout

puts "\n== verbose (traces go to standard error)"
verbose 1
verbose 0

# ---------------------------------------------------------------- timers
puts "\n== timers"
set start [clock milliseconds]
set kept [add_timer 200 {set ::fired [expr {[clock milliseconds] - $::start}]}]
set dropped [add_timer 100 {puts "this timer was aborted and never prints"}]
puts "scheduled $kept (200 ms) and $dropped (100 ms)"
abort_timer $dropped
puts "aborted $dropped"
vwait ::fired
puts "timer $kept fired after $::fired ms"

# ---------------------------------------------------------------- Ctrl-C
puts "\n== Ctrl-C"
sigint {puts "Ctrl-C pressed: ignored by the demo"}
puts "Ctrl-C script replaced"

# ---------------------------------------------------------------- ec programs
source [file join [file dirname [file normalize [info script]]] ecprg_demo.tcl]

exit 0
