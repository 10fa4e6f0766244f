# Times of the chronogram's redraw (examples/ecview/chronodraw.tcl) on a
# run of 100,000 steps with 20 lanes in sight, in milliseconds:
#   tclsh bench/chrono_times.tcl ?STEPS?
# with ZINDLE_BUILD, LUSTRE_INSTALL and DISPLAY set. The program has 20
# outputs: bools that change every step to every 5,000 steps, dense and
# sparse ints, reals and enumerations. Each time is that of a redraw and
# its drawing (update idletasks), the median of 5, for the views a person
# reaches: the whole history, zoomed in step by step, scrolled to places,
# and the cursor's move.
set steps [expr {[llength $argv] ? [lindex $argv 0] : 100000}]
set argv {}
set program "type mode = (idle, low, high, off).\nnode lanes(i : int) returns ("
set outputs {}
set equations {}
foreach {name type equation} {
    b1 bool {c mod 2 = 0}  b2 bool {c mod 10 < 5}  b3 bool {c mod 100 < 50}
    b4 bool {c mod 1000 < 10}  b5 bool {c mod 10000 < 5000}
    n1 int {c}  n2 int {c mod 7}  n3 int {(c * 7919) mod 1000}  n4 int {c div 100}
    n5 int {c div 3000}  n6 int {(c * 31) mod 17 - 8}  n7 int {if c mod 500 < 250 then c mod 50 else 0}
    n8 int {i}
    r1 real {real c * 0.5}  r2 real {real (c mod 360) / 57.3}  r3 real {1.0 / real (c mod 9 + 1)}
    r4 real {real (c div 1000)}
    m1 mode {if c mod 4 = 0 then idle else if c mod 4 = 1 then low else if c mod 4 = 2 then high else off}
    m2 mode {if c mod 4000 < 1000 then idle else if c mod 4000 < 2000 then low else high}
    m3 mode {if c mod 40 < 30 then low else off}
} {
    lappend outputs "$name : $type"
    lappend equations "  $name = $equation;"
}
append program "[join $outputs {; }]);\nvar c : int;\nlet\n  c = 0 -> pre c + 1;\n[join $equations \n]\ntel\n"
set file [file join [expr {[info exists env(TMPDIR)] ? $env(TMPDIR) : "/tmp"}] chrono_lanes[pid].ec]
set f [open $file w]
puts $f $program
close $f

source [file join [file dirname [info script]] .. examples ecview.tcl]
wm geometry . 1400x1000
# An error of the drawing, which the viewer would show in its status line,
# ends the measure.
interp bgerror {} {apply {{message options} { puts stderr $message; exit 1 }}}
update
ecview::open_file $file
file delete $file
ecview::wait
.main sashpos 0 60
update
set c [ecview::widget chrono]
ecview::sim_input i 3
ecview::sim_step
$ecview::prog sim run -steps [expr {$steps - 1}]
ecview::sim_changed
update
puts "[llength [ecview::lanes]] lanes, [llength [ecview::lanes_shown]] in sight, canvas\
      [winfo width $c]x[winfo height $c], $steps steps kept"

# The median of 5 times of a change of the view and the one redraw it
# causes (a script that changes nothing is timed with a redraw).
proc ms {script} {
    set times {}
    for {set k 0} {$k < 5} {incr k} {
        set t [clock microseconds]
        uplevel 1 $script
        ecview::chrono_schedule
        update idletasks
        lappend times [expr {([clock microseconds] - $t) / 1000.0}]
    }
    format %.1f [lindex [lsort -real $times] 2]
}
proc row {label script} {
    puts [format "%-40s %8s ms  (%d items)" $label [uplevel 1 [list ms $script]] \
              [llength [[ecview::widget chrono] find all]]]
}
row "whole history" { ecview::zoom 0 }
foreach factor {4 4 4 4 4 4 4} {
    ecview::zoom $factor
    lassign [ecview::view] from to
    row [format "zoomed in: %d steps in sight" [expr {$to - $from + 1}]] {}
}
ecview::zoom 0
ecview::zoom 8
foreach at {0.1 0.5 0.9} { row "12,500 steps in sight, scrolled to $at" [list ecview::chrono_xview moveto $at] }
set x [expr {[winfo width $c] / 2}]
set t [clock microseconds]
for {set k 0} {$k < 20} {incr k} { ecview::chrono_motion [incr x 3]; update idletasks }
puts [format "%-40s %8.1f ms" "cursor move (values of every lane)" \
          [expr {([clock microseconds] - $t) / 20000.0}]]
exit
