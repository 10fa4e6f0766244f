# chronodraw.tcl: the drawing of the chronogram: the time axis, the lanes
# in sight over the steps in sight, the cursors and the mark of a failed
# step. A bool is a square wave, an int or a real a step line scaled to
# the lane (its least and greatest values in sight written beside the name)
# with the value written in each interval where it fits, an enumeration or
# an external value labelled boxes; nil is hatched, absent left empty.
#
# Only what is in sight is drawn, and never more than one bin of steps a
# pixel: the run sums up each bin (sim history -bins): one value, nil,
# absent, or several values, drawn as a band from the least to the
# greatest (a bool's both levels, a grey box for the others).
namespace eval ecview {
    variable laneStyle
    array set laneStyle {
        line #1565c0 bool #2e7d32 nil #c62828 box #e3f2fd busy #9e9e9e
        grid #eef0f3 cursor #ef6c00 mouse #9e9e9e mark #c62828
    }
    variable hatch @[file join [file dirname [file normalize [info script]]] hatch.xbm]
    variable binPixels 2        ;# the narrowest bin of steps drawn
}

proc ecview::chrono_redraw {} {
    variable chrono
    variable W
    variable prog
    variable laneHeight
    variable axisHeight
    set chrono(scheduled) 0
    set c $W(chrono)
    set n $W(lanes)
    $c delete all
    $n delete all
    array unset chrono valueItem,*
    if {$prog eq ""} return
    clamp_view
    set width [winfo width $c]
    lassign [view] from to
    draw_axis $width
    if {$from <= $to} {
        # Bins of a whole number of steps, at least binPixels wide, starting
        # at multiples of their size (so that a scroll leaves them as they
        # are); their edges are shared by every lane.
        variable binPixels
        variable lineWidth [expr {$chrono(pps) >= 4 ? 2 : 1}]   ;# thin where lines are dense
        set every [expr {max(1, int(ceil($binPixels / $chrono(pps))))}]
        set from [expr {max([lindex [kept_steps] 0], $from / $every * $every)}]
        set xs {}
        for {set s $from} {$s <= $to} {incr s $every} {
            lappend xs [expr {($s - $chrono(view)) * $chrono(pps)}]
        }
        lappend xs [expr {($to + 1 - $chrono(view)) * $chrono(pps)}]
    }
    set y $axisHeight
    foreach name [lanes_shown] {
        draw_lane_name $name $y
        if {$from <= $to} {
            if {[catch {$prog sim history $name -from $from -to $to -every $every} h]} {
                $c create text 8 [expr {$y + $laneHeight / 2}] -anchor w -fill #757575 \
                    -text "not recorded: its steps are kept from the next Reset"
            } else {
                draw_lane $name {*}$h $xs $y
            }
        }
        $c create line 0 [expr {$y + $laneHeight - 1}] $width [expr {$y + $laneHeight - 1}] \
            -fill #e0e0e0
        incr y $laneHeight
    }
    if {$from > $to && [llength $chrono(lanes)]} {
        $c create text 12 [expr {$axisHeight + 12}] -anchor nw -fill #757575 \
            -text "Reset, then Step or Run: the steps show here"
    }
    draw_mark
    draw_cursors
    show_lane_values
    chrono_scrollbars $width
}

proc ecview::chrono_scrollbars {width} {
    variable chrono
    variable W
    lassign [shown_steps] first last
    set count [expr {max(1, $last - $first + 1)}]
    set left [expr {($chrono(view) - $first) / $count}]
    $W(chronox) set $left [expr {$left + $width / $chrono(pps) / $count}]
    set n [expr {max(1, [llength $chrono(lanes)])}]
    $W(chronoy) set [expr {double($chrono(top)) / $n}] \
        [expr {min(1.0, double($chrono(top) + [lanes_in_sight]) / $n)}]
}

# Ticks at multiples of 1, 2 or 5 times a power of ten, at least 70 pixels
# apart, with grid lines through the lanes.
proc ecview::draw_axis {width} {
    variable chrono
    variable W
    variable axisHeight
    variable laneStyle
    set c $W(chrono)
    lassign [shown_steps] first last
    set every 1
    foreach m {1 2 5 10 20 50 100 200 500 1000 2000 5000 10000 20000 50000 100000 200000 500000} {
        set every $m
        if {$m * $chrono(pps) >= 70} break
    }
    while {$every * $chrono(pps) < 70} { set every [expr {$every * 10}] }
    set height [winfo height $c]
    set s [expr {max($every, int(ceil($chrono(view) / $every)) * $every)}]
    for {} {$s <= $last && ($s - $chrono(view)) * $chrono(pps) < $width} {incr s $every} {
        set x [expr {($s - $chrono(view)) * $chrono(pps)}]
        $c create line $x $axisHeight $x $height -fill $laneStyle(grid)
        $c create line $x [expr {$axisHeight - 5}] $x $axisHeight -fill #616161
        $c create text [expr {$x + 2}] [expr {$axisHeight - 3}] -anchor sw -text $s \
            -font TkSmallCaptionFont -fill #424242
    }
    $c create line 0 $axisHeight $width $axisHeight -fill #9e9e9e
}

# A lane's name, and the item that shows its value at the cursor.
proc ecview::draw_lane_name {name y} {
    variable W
    variable chrono
    set n $W(lanes)
    $n create text 6 [expr {$y + 3}] -anchor nw -text $name -font ecview::bold \
        -tags [list lane name:$name]
    set chrono(valueItem,$name) [$n create text 6 [expr {$y + 18}] -anchor nw \
        -font TkFixedFont -fill $::ecview::laneStyle(cursor)]
    $n create line 0 [expr {$y + $::ecview::laneHeight - 1}] [winfo width $n] \
        [expr {$y + $::ecview::laneHeight - 1}] -fill #e0e0e0
}

# How a variable's lane is drawn: bool, number (int, real) or box.
proc ecview::lane_kind {name} {
    variable info
    if {![info exists info($name)]} { fetch_info $name }
    switch -- [lindex $info($name) 1] {
        bool { return bool }
        int - real { return number }
        default { return box }
    }
}

# One lane from its bins: states (a character a bin) and values (one for a
# bin of one value, two for a bin of several), xs the bins' edges. A bool
# or number lane is one line (broken where nil or absent), a bin of
# several values a vertical stroke in it (a bool's, a filled box). The
# intervals of one value are found with lsearch, and the value written in
# those where it fits; where values change within a few pixels, bins are
# drawn as they come, without a look for each value's end.
proc ecview::draw_lane {name states values xs y} {
    variable W
    variable laneHeight
    variable laneStyle
    variable hatch
    set c $W(chrono)
    set kind [lane_kind $name]
    set top [expr {$y + 4.0}]
    set bottom [expr {$y + $laneHeight - 6.0}]
    set middle [expr {($top + $bottom) / 2}]
    set color [expr {$kind eq "bool" ? $laneStyle(bool) : $laneStyle(line)}]
    set tags [list lane:$name]
    switch -- $kind {
        number {
            lassign [number_ys $values $top $bottom] ys least greatest
            draw_bounds $least $greatest $top $bottom $tags
        }
        bool { set ys [lmap v $values { expr {$v ? $top : $bottom} }] }
    }
    set charWidth [font measure TkFixedFont 0]
    set wide [expr {3 * $charWidth + 6}]   ;# an interval where a short value fits
    set width [winfo width $c]
    set line {}
    set i 0
    foreach {s e} [concat {*}[regexp -all -inline -indices {p+|m+|n+|a+} $states]] {
        set x1 [lindex $xs $s]
        set x2 [lindex $xs [incr e]]
        set count [expr {$e - $s}]
        switch -- [string index $states $s] {
            p {
                set last [expr {$i + $count - 1}]
                set bin $s
                while {$i <= $last} {
                    set v [lindex $values $i]
                    set next [lsearch -exact -not -start $i $values $v]
                    if {$next < 0 || $next > $last} { set next [expr {$last + 1}] }
                    set xa [lindex $xs $bin]
                    set xb [lindex $xs [expr {$bin + $next - $i}]]
                    if {$kind eq "box"} {
                        $c create rectangle $xa $top $xb $bottom -fill $laneStyle(box) \
                            -outline $color -tags $tags
                        label_interval $c $v $xa $xb $middle w $charWidth $width $tags
                    } elseif {$xb - $xa >= $wide} {
                        set yv [lindex $ys $i]
                        lappend line $xa $yv $xb $yv
                        if {$kind eq "number"} {
                            label_interval $c $v $xa $xb $yv [expr {$yv > $middle ? "sw" : "nw"}] \
                                $charWidth $width $tags
                        }
                    } else {
                        # Values that change within a few pixels: the next
                        # bins (32 at most) are drawn without looking for
                        # where each value ends.
                        set next [expr {min($last + 1, $i + 32)}]
                        set end [expr {$bin + $next - $i}]
                        foreach yv [lrange $ys $i [expr {$next - 1}]] \
                            xa [lrange $xs $bin [expr {$end - 1}]] \
                            xb [lrange $xs [expr {$bin + 1}] $end] {
                            lappend line $xa $yv $xb $yv
                        }
                    }
                    incr bin [expr {$next - $i}]
                    set i $next
                }
            }
            m {
                if {$kind eq "number"} {
                    foreach {ylo yhi} [lrange $ys $i [expr {$i + 2 * $count - 1}]] \
                        x [lrange $xs $s [expr {$e - 1}]] {
                        lappend line $x $ylo $x $yhi
                    }
                } else {
                    set line [flush_line $c $line $color $tags]
                    $c create rectangle $x1 $top $x2 $bottom -outline "" \
                        -fill [expr {$kind eq "bool" ? $color : $laneStyle(busy)}] -tags $tags
                }
                incr i [expr {2 * $count}]
            }
            n {
                set line [flush_line $c $line $color $tags]
                $c create rectangle $x1 $top $x2 $bottom -outline $laneStyle(nil) \
                    -fill $laneStyle(nil) -stipple $hatch -tags [list {*}$tags nil]
            }
            a { set line [flush_line $c $line $color $tags] }
        }
    }
    flush_line $c $line $color $tags
}

# The step line drawn so far, as one item; returns the empty line.
proc ecview::flush_line {c line color tags} {
    variable lineWidth
    if {[llength $line] >= 4} { $c create line $line -fill $color -width $lineWidth -tags $tags }
    return {}
}

# A value written in its interval when it fits (in the part in sight).
proc ecview::label_interval {c text xa xb y anchor charWidth width tags} {
    set left [expr {max($xa, 0)}]
    if {[string length $text] * $charWidth + 6 > min($xb, $width) - $left} return
    $c create text [expr {$left + 3}] $y -anchor $anchor -text $text -font TkFixedFont \
        -tags [list {*}$tags value]
}

# The y of each value of a number lane, scaled to the lane between its
# least and greatest finite values in sight (Inf at the top, -Inf at the
# bottom, NaN in the middle): {YS LEAST GREATEST}.
proc ecview::number_ys {values top bottom} {
    # Numbers all finite, the common case, are scaled without a look at
    # their text (min and max fail on NaN).
    set finite [expr {![catch {tcl::mathfunc::min {*}$values} least] &&
                      ![catch {tcl::mathfunc::max {*}$values} greatest] &&
                      $least > -Inf && $greatest < Inf}]
    if {!$finite} {
        set some [lsearch -all -inline -not -nocase -glob $values *n*]
        if {![llength $some]} { set some 0 }
        set least [tcl::mathfunc::min {*}$some]
        set greatest [tcl::mathfunc::max {*}$some]
    }
    set scale [expr {$greatest > $least ? ($bottom - $top) / double($greatest - $least) : 0}]
    set base [expr {$greatest > $least ? $bottom : ($top + $bottom) / 2}]
    if {$finite} {
        set ys [lmap v $values { expr {$base - ($v - $least) * $scale} }]
    } else {
        set middle [expr {($top + $bottom) / 2}]
        set ys [lmap v $values {
            expr {$v eq "NaN" ? $middle : max($top, min($bottom, $base - ($v - $least) * $scale))}
        }]
    }
    list $ys $least $greatest
}

# A number lane's greatest and least values in sight, beside its name.
proc ecview::draw_bounds {least greatest top bottom tags} {
    variable W
    set n $W(lanes)
    set x [expr {[winfo width $n] - 4}]
    foreach value [list $greatest $least] y [list $top $bottom] anchor {ne se} {
        if {[string length $value] > 8} { set value [format %.6g $value] }
        $n create text $x $y -anchor $anchor -text $value -font TkSmallCaptionFont -fill #616161 \
            -tags $tags
    }
}

# The x of a step's middle.
proc ecview::step_x {step} {
    variable chrono
    expr {($step + 0.5 - $chrono(view)) * $chrono(pps)}
}

# The cursor set by a click (solid) and the one under the mouse (dashed).
proc ecview::draw_cursors {} {
    variable chrono
    variable W
    variable laneStyle
    variable axisHeight
    set c $W(chrono)
    $c delete cursor
    set height [winfo height $c]
    if {$chrono(cursor) ne ""} {
        set x [step_x $chrono(cursor)]
        $c create line $x $axisHeight $x $height -fill $laneStyle(cursor) -width 2 -tags cursor
    }
    if {$chrono(mouse) ne ""} {
        set x [step_x $chrono(mouse)]
        $c create line $x 0 $x $height -fill $laneStyle(mouse) -dash {4 3} -tags cursor
    }
}

# The step that failed: a line and the reason above the lanes.
proc ecview::draw_mark {} {
    variable chrono
    variable W
    variable laneStyle
    if {![llength $chrono(mark)]} return
    lassign $chrono(mark) step text
    set c $W(chrono)
    set x [step_x $step]
    $c create line $x 0 $x [winfo height $c] -fill $laneStyle(mark) -width 2 -tags mark
    $c create text [expr {$x - 4}] 2 -anchor ne -text $text -fill $laneStyle(mark) \
        -font TkSmallCaptionFont -tags mark
}

# Every lane's value at the step under the mouse, or at the cursor's step
# when the mouse is elsewhere; the step above the names.
proc ecview::show_lane_values {} {
    variable chrono
    variable W
    variable axisHeight
    set step [expr {$chrono(mouse) ne "" ? $chrono(mouse) : [cursor_step]}]
    set n $W(lanes)
    $n delete steplabel
    if {$step ne "" && $step > 0} {
        $n create text 6 [expr {$axisHeight - 3}] -anchor sw -text "step $step" \
            -font TkSmallCaptionFont -tags steplabel
    }
    foreach key [array names chrono valueItem,*] {
        $n itemconfigure $chrono($key) -text [value_at [string range $key 10 end] $step]
    }
}
