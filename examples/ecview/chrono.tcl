# chrono.tcl: the chronogram's view and events: one lane per watched
# variable over the steps the run keeps, a time axis, a cursor that follows
# the mouse and one that a click sets, zoom and scroll over the whole
# history, lanes added from the table, removed, and reordered by dragging
# their names. The drawing is in chronodraw.tcl.
#
# The view maps steps to pixels of the wave canvas: step s covers x from
# (s - view) * pps to (s + 1 - view) * pps, view being the step (a real
# number) at the left edge and pps the pixels per step. The view follows
# the last step while it shows it.
namespace eval ecview {
    variable chrono
    array set chrono {
        lanes {} top 0 view 1.0 pps 24.0 follow 1 cursor "" mouse "" mark {}
        drag "" scheduled 0
    }
    variable laneHeight 34      ;# pixels of a lane, its gap included
    variable axisHeight 22      ;# the time axis above the lanes
    variable maxPps 80.0        ;# the closest zoom: pixels per step
}

# The names canvas (lane names and the values at the cursor), the wave
# canvas and their scrollbars, in the frame f.
proc ecview::build_chrono {f} {
    variable W
    ttk::frame $f
    set W(lanes) [canvas $f.names -width 200 -height 120 -background #f6f7f9 \
                      -highlightthickness 0 -borderwidth 0]
    set W(chrono) [canvas $f.wave -width 400 -height 120 -background white \
                       -highlightthickness 1 -highlightcolor #90caf9 -borderwidth 0 -takefocus 1]
    ttk::scrollbar $f.xs -orient horizontal -command ecview::chrono_xview
    ttk::scrollbar $f.ys -orient vertical -command ecview::chrono_yview
    set W(chronox) $f.xs
    set W(chronoy) $f.ys
    grid $f.names $f.wave $f.ys -sticky nsew
    grid x $f.xs -sticky ew
    grid rowconfigure $f 0 -weight 1
    grid columnconfigure $f 1 -weight 1
    set c $W(chrono)
    bind $c <Configure> ecview::chrono_schedule
    bind $c <Motion> {ecview::chrono_motion %x}
    bind $c <Leave> {ecview::chrono_motion -1}
    bind $c <Button-1> {focus %W; ecview::cursor [ecview::step_at %x]}
    bind $c <MouseWheel> {ecview::zoom [expr {%D > 0 ? 1.25 : 0.8}] %x}
    bind $c <Button-4> {ecview::zoom 1.25 %x}
    bind $c <Button-5> {ecview::zoom 0.8 %x}
    bind $c <Shift-Button-4> {ecview::chrono_xview scroll -1 units}
    bind $c <Shift-Button-5> {ecview::chrono_xview scroll 1 units}
    foreach {keys script} {
        {plus equal KP_Add} {ecview::zoom 2.0}
        {minus KP_Subtract} {ecview::zoom 0.5}
        {Left} {ecview::chrono_xview scroll -1 units}
        {Right} {ecview::chrono_xview scroll 1 units}
        {Prior} {ecview::chrono_xview scroll -1 pages}
        {Next} {ecview::chrono_xview scroll 1 pages}
        {Home} {ecview::chrono_xview moveto 0}
        {End} {ecview::chrono_xview moveto 1}
        {f} {ecview::zoom 0}
    } {
        foreach key $keys { bind $c <Key-$key> "$script; break" }
    }
    set n $W(lanes)
    bind $n <Button-1> {ecview::drag_start %y}
    bind $n <B1-Motion> {ecview::drag_motion %y}
    bind $n <ButtonRelease-1> {ecview::drag_end %y}
    bind $n <Double-Button-1> {ecview::select_lane %y}
    bind $n <Button-3> {ecview::popup_lane_menu %y %X %Y}
    foreach w [list $n $c] {
        bind $w <Control-Button-4> {ecview::chrono_yview scroll -1 units}
        bind $w <Control-Button-5> {ecview::chrono_yview scroll 1 units}
    }
    bind $n <Button-4> {ecview::chrono_yview scroll -1 units}
    bind $n <Button-5> {ecview::chrono_yview scroll 1 units}
    bind $n <MouseWheel> {ecview::chrono_yview scroll [expr {%D > 0 ? -1 : 1}] units}
    menu $f.menu -tearoff 0
    set W(lanemenu) $f.menu
    return $f
}

# A redraw once the events of a burst are in (steps, scrolls, resizes).
proc ecview::chrono_schedule {} {
    variable chrono
    if {$chrono(scheduled)} return
    set chrono(scheduled) 1
    after idle ecview::chrono_redraw
}

# The steps the view may show: those kept, and the step of an error mark
# (the step that failed is not kept).
proc ecview::shown_steps {} {
    variable chrono
    lassign [kept_steps] first last
    if {[llength $chrono(mark)]} { set last [expr {max($last, [lindex $chrono(mark) 0])}] }
    list $first $last
}

# Bounds the view within the steps shown; a view that follows shows the
# last step.
proc ecview::clamp_view {} {
    variable chrono
    variable W
    lassign [shown_steps] first last
    set span [expr {max(1, [winfo width $W(chrono)]) / $chrono(pps)}]
    if {$chrono(follow)} { set chrono(view) [expr {$last + 1 - $span}] }
    set chrono(view) [expr {max(double($first), min($chrono(view), $last + 1 - $span))}]
}

# After a move of the view by the user: it follows when it shows the end.
proc ecview::view_moved {} {
    variable chrono
    variable W
    set chrono(follow) 0
    clamp_view
    lassign [shown_steps] first last
    set span [expr {[winfo width $W(chrono)] / $chrono(pps)}]
    set chrono(follow) [expr {$chrono(view) + $span >= $last + 1 - 1e-6}]
    chrono_schedule
}

# Zooms by a factor keeping the step under x (the middle by default) in
# place, out no further than the whole history, in no closer than maxPps;
# a factor of 0 shows the whole history.
proc ecview::zoom {factor {x ""}} {
    variable chrono
    variable W
    variable maxPps
    lassign [shown_steps] first last
    set width [expr {max(1, [winfo width $W(chrono)])}]
    set whole [expr {double($width) / max(1, $last - $first + 1)}]
    if {$x eq ""} { set x [expr {$width / 2.0}] }
    set at [expr {$chrono(view) + $x / $chrono(pps)}]
    set pps [expr {$factor == 0 ? $whole : max(min($whole, $chrono(pps)), $chrono(pps) * $factor)}]
    set chrono(pps) [expr {min($maxPps, $pps)}]
    set chrono(view) [expr {$at - $x / $chrono(pps)}]
    view_moved
    return $chrono(pps)
}

# The horizontal scrollbar's protocol: moveto FRACTION, scroll N units|pages
# (a unit is a tenth of the width).
proc ecview::chrono_xview {args} {
    variable chrono
    variable W
    lassign [shown_steps] first last
    set count [expr {max(1, $last - $first + 1)}]
    set span [expr {[winfo width $W(chrono)] / $chrono(pps)}]
    switch -- [lindex $args 0] {
        moveto { set chrono(view) [expr {$first + [lindex $args 1] * $count}] }
        scroll {
            lassign $args - n what
            set by [expr {$what eq "pages" ? 0.9 * $span : max(1.0, $span / 10)}]
            set chrono(view) [expr {$chrono(view) + $n * $by}]
        }
        default return
    }
    view_moved
}

# The steps in sight, as {FIRST LAST} (FIRST > LAST when none).
proc ecview::view {} {
    variable chrono
    variable W
    clamp_view
    lassign [kept_steps] first last
    set from [expr {max($first, int(floor($chrono(view))))}]
    set right [expr {$chrono(view) + [winfo width $W(chrono)] / $chrono(pps)}]
    set to [expr {min($last, int(ceil($right)) - 1)}]
    list $from $to
}

# The lanes in sight: how many fit under the axis (a lane cut at the bottom
# counts), and the vertical scrollbar's protocol over lanes.
proc ecview::lanes_in_sight {} {
    variable W
    variable laneHeight
    variable axisHeight
    expr {max(1, int(ceil(double([winfo height $W(chrono)] - $axisHeight) / $laneHeight)))}
}

# The names of the lanes in sight, top to bottom.
proc ecview::lanes_shown {} {
    variable chrono
    lrange $chrono(lanes) $chrono(top) [expr {$chrono(top) + [lanes_in_sight] - 1}]
}

proc ecview::chrono_yview {args} {
    variable chrono
    set n [llength $chrono(lanes)]
    switch -- [lindex $args 0] {
        moveto { set top [expr {int([lindex $args 1] * $n)}] }
        scroll {
            lassign $args - count what
            set top [expr {$chrono(top) + $count * ($what eq "pages" ? [lanes_in_sight] - 1 : 1)}]
        }
        default return
    }
    set chrono(top) [expr {max(0, min($top, $n - [lanes_in_sight] + 1))}]
    chrono_schedule
}

# The step under x on the wave canvas, or "" outside the steps kept.
proc ecview::step_at {x} {
    variable chrono
    if {$x < 0} { return "" }
    lassign [kept_steps] first last
    set step [expr {int(floor($chrono(view) + $x / $chrono(pps)))}]
    expr {$step >= $first && $step <= $last ? $step : ""}
}

# The cursor: set by a click (or a script) to a step, whose values show in
# the lanes and in the table's value column; "" puts it back on the last
# step. Returns the step it shows.
proc ecview::cursor {args} {
    variable chrono
    variable T
    if {[llength $args]} {
        set chrono(cursor) [lindex $args 0]
        if {$chrono(cursor) ne ""} { bring_into_view $chrono(cursor) }
        draw_cursors
        show_lane_values
        vtable::redraw $T(vars)
    }
    cursor_step
}

# Scrolls the view, when a step is out of it, to show the step in its middle.
proc ecview::bring_into_view {step} {
    variable chrono
    variable W
    set span [expr {[winfo width $W(chrono)] / $chrono(pps)}]
    if {$step >= $chrono(view) && $step + 1 <= $chrono(view) + $span} return
    set chrono(view) [expr {$step + 0.5 - $span / 2}]
    set chrono(follow) 0
    view_moved
}

proc ecview::cursor_step {} {
    variable chrono
    if {$chrono(cursor) ne ""} { return $chrono(cursor) }
    lindex [kept_steps] 1
}

proc ecview::chrono_motion {x} {
    variable chrono
    set chrono(mouse) [step_at $x]
    draw_cursors
    show_lane_values
}

# The text of a variable's value at a step: its value, "nil", or "" when it
# is absent, not kept or not recorded.
proc ecview::value_at {name step} {
    variable prog
    if {$prog eq "" || $step eq "" ||
        [catch {$prog sim history $name -from $step -to $step} h]} { return "" }
    lassign $h state values
    switch -- $state { p { return [lindex $values 0] } n { return nil } default { return "" } }
}

# ------------------------------------------------------------------ lanes

proc ecview::lanes {} { variable chrono; return $chrono(lanes) }

# Watches a variable in a lane of its own (at the end); 1 when added.
proc ecview::lane_add {name} {
    variable chrono
    variable kindOf
    if {![info exists kindOf($name)] || $kindOf($name) eq "const"} {
        say "'$name' is not a variable: it has no lane" 1
        return 0
    }
    if {$name in $chrono(lanes)} { return 0 }
    lappend chrono(lanes) $name
    if {![recorded $name]} { say "$name: its steps are kept from the next Reset" }
    chrono_schedule
    return 1
}

proc ecview::lane_remove {name} {
    variable chrono
    set i [lsearch -exact $chrono(lanes) $name]
    if {$i < 0} { return 0 }
    set chrono(lanes) [lreplace $chrono(lanes) $i $i]
    chrono_schedule
    return 1
}

# Moves a lane to a place (0 first) among the lanes.
proc ecview::lane_move {name index} {
    variable chrono
    if {![lane_remove $name]} { return 0 }
    set chrono(lanes) [linsert $chrono(lanes) $index $name]
    return 1
}

# The lane at y on the names canvas: its index among the lanes, or -1.
proc ecview::lane_at {y} {
    variable chrono
    variable laneHeight
    variable axisHeight
    if {$y < $axisHeight} { return -1 }
    set i [expr {$chrono(top) + int(($y - $axisHeight) / $laneHeight)}]
    expr {$i < [llength $chrono(lanes)] ? $i : -1}
}

# Dragging a lane's name moves the lane where the button is released.
proc ecview::drag_start {y} {
    variable chrono
    set chrono(drag) [lindex $chrono(lanes) [lane_at $y]]
}

proc ecview::drag_motion {y} {
    variable chrono
    variable W
    variable laneHeight
    variable axisHeight
    if {$chrono(drag) eq ""} return
    set slot [expr {max(0, round(double($y - $axisHeight) / $laneHeight))}]
    set ly [expr {$axisHeight + $slot * $laneHeight}]
    $W(lanes) delete dropline
    $W(lanes) create line 0 $ly [winfo width $W(lanes)] $ly -width 2 -fill #1565c0 -tags dropline
}

proc ecview::drag_end {y} {
    variable chrono
    variable W
    variable laneHeight
    variable axisHeight
    $W(lanes) delete dropline
    set name $chrono(drag)
    set chrono(drag) ""
    if {$name eq ""} return
    set from [lsearch -exact $chrono(lanes) $name]
    set to [expr {$chrono(top) + max(0, round(double($y - $axisHeight) / $laneHeight))}]
    if {$to > $from} { incr to -1 }
    if {$to != $from} { lane_move $name [expr {min($to, [llength $chrono(lanes)] - 1)}] }
}

proc ecview::select_lane {y} {
    variable chrono
    set name [lindex $chrono(lanes) [lane_at $y]]
    if {$name ne ""} { select $name }
}

# The menu of the lane at y on the names canvas (none when no lane is
# there): select its variable, remove the lane.
proc ecview::lane_menu {y} {
    variable chrono
    variable W
    set name [lindex $chrono(lanes) [lane_at $y]]
    if {$name eq ""} { return "" }
    set m $W(lanemenu)
    $m delete 0 end
    $m add command -label "Select $name" -command [list ecview::select $name]
    $m add command -label "Remove lane" -command [list ecview::lane_remove $name]
    return $m
}

proc ecview::popup_lane_menu {y rootx rooty} {
    set m [lane_menu $y]
    if {$m ne ""} { tk_popup $m $rootx $rooty }
}
