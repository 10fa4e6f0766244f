# Times of the viewer (examples/ecview.tcl) on a program, in milliseconds:
#   tclsh bench/viewer_times.tcl FILE.ec          window open, then File > Open
#   tclsh bench/viewer_times.tcl -cold FILE.ec    start with FILE on the command line
# with ZINDLE_BUILD, LUSTRE_INSTALL and DISPLAY set. A time is that of the
# action and of the drawing it causes (update idletasks: Tk draws at idle).
set cold [expr {[lindex $argv 0] eq "-cold"}]
set file [lindex $argv end]
set viewer [file join [file dirname [info script]] .. examples ecview.tcl]
proc ms {script} {
    set t [clock microseconds]
    uplevel 1 $script
    update idletasks
    format %.0f [expr {([clock microseconds] - $t) / 1000.0}]
}
if {$cold} {
    set argv [list $file]
    puts "[file tail $file]: from start to table and text drawn [ms {source $viewer}] ms"
    exit
}
set argv {}
source $viewer
update
set open [ms {ecview::open_file $file}]

# The background work, and its longest slice (the longest the event loop waits).
rename ecview::step_task ecview::timed_step
set ::slices {}
proc ecview::step_task {} {
    set task [lindex $ecview::queue 0]
    lappend ::slices [list [ms ecview::timed_step] $task]
}
set background [ms { while {[llength $ecview::queue]} { update } }]
update

set tv [ecview::widget vars]
set f [ecview::widget filter]
focus -force $f
set keys [lmap c {v 1 2 3} { ms {event generate $f <KeyPress> -keysym $c; update} }]
set clear [ms {$f delete 0 end; update}]
set clicks [lmap n {3 10 20} {
    lassign [$tv bbox [lindex [$tv children {}] $n]] x y w h
    ms {event generate $tv <Button-1> -x [expr {$x + 5}] -y [expr {$y + $h / 2}]}
}]
set far [ms {ecview::select [lindex [ecview::rows] end-10]}]
set t [ecview::widget text]
set idx [$t search -exact " = " "@0,[expr {[winfo height $t] / 2}] linestart"]
lassign [$t bbox [$t index "$idx linestart + 4 chars"]] x y
set before [ecview::selected]
set text [ms {
    event generate $t <Button-1> -x [incr x 2] -y [incr y 2]
    event generate $t <ButtonRelease-1> -x $x -y $y
}]
set clicked "selected [ecview::selected] after $before"
set scroll [ms {$t yview moveto 0.6}]
set tscroll [ms {vtable::yview [winfo parent $tv] moveto 0.7}]
set sort [ms {ecview::sort name 1}]
set sortType [ms {ecview::sort type}]
# The name read by most equations (a constant, in generated programs).
set most ""
foreach n [$ecview::prog vars -kind const] {
    if {$most eq "" || [llength [$ecview::prog uses $n]] > [llength [$ecview::prog uses $most]]} {
        set most $n
    }
}
if {$most ne ""} { set wide [ms {ecview::select $most}] }
puts "[file tail $file]: open (table and text drawn) $open ms;\
      background work $background ms (longest slice: [join [lindex [lsort -integer -index 0 $slices] end] " ms, "])"
puts "filter keystrokes: [join $keys {, }] ms; clearing the filter $clear ms"
puts "table clicks: [join $clicks {, }] ms; select far name $far ms;\
      click in text $text ms ($clicked)"
puts "text scroll $scroll ms; table scroll $tscroll ms; sort by name $sort ms, by type $sortType ms"
if {$most ne ""} { puts "select $most, read by [llength [ecview::uses]] equations: $wide ms" }
exit
