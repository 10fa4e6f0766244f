# simpane.tcl: the simulation pane: the buttons that run the program
# (Reset, Step, Run N, Auto every P ms, Pause), the run-until entry, the
# state of the run, one input control per input by its type (a check
# button for bool, a spin box for int, an entry for real or an external
# type, a combo box of the constants for an enumeration) and, beside them,
# the chronogram. An input on a clock is enabled only when its clock will
# tick at the next step, that is when the clock's own control is set.
# What the buttons do is in simrun.tcl.
namespace eval ecview {
    variable simInput           ;# array: input name -> the text of its control
    variable inputClock         ;# array: input name -> its clock ("" on the base clock)
    variable inputWidget        ;# array: input name -> its control
    variable maxControls 200    ;# inputs beyond these keep their values
    variable simCount 1000      ;# Run: steps
    variable simPeriod 200      ;# Auto: milliseconds between steps
    variable simUntil ""        ;# Run until: a bool expression, or ""
    variable simState ""        ;# the line under the buttons
}

# The controls on the left, the chronogram on the right, in the frame f.
proc ecview::build_sim {f} {
    variable W
    ttk::frame $f
    ttk::frame $f.ctl -padding {4 2}
    set b $f.ctl.buttons
    ttk::frame $b
    set W(simreset) [ttk::button $b.reset -text Reset -width 6 -command ecview::sim_reset]
    set W(simstep) [ttk::button $b.step -text Step -width 6 -command ecview::sim_step]
    set W(simrun) [ttk::button $b.run -text Run -width 5 -command ecview::sim_run]
    set W(simcount) [ttk::spinbox $b.count -from 1 -to 100000000 -increment 100 -width 8 \
                         -textvariable ecview::simCount]
    grid $b.reset $b.step $b.run $b.count -padx 1 -pady 1 -sticky ew
    set W(simauto) [ttk::button $b.auto -text Auto -width 6 -command ecview::sim_auto]
    set W(simperiod) [ttk::spinbox $b.period -from 1 -to 60000 -increment 50 -width 6 \
                          -textvariable ecview::simPeriod]
    ttk::label $b.ms -text ms
    set W(simpause) [ttk::button $b.pause -text Pause -width 6 -command ecview::sim_pause \
                         -state disabled]
    grid $b.auto $b.period $b.ms $b.pause -padx 1 -pady 1 -sticky ew
    pack $b -side top -anchor w
    ttk::frame $f.ctl.until
    ttk::label $f.ctl.until.l -text "Run until:"
    set W(until) [ttk::entry $f.ctl.until.e -textvariable ecview::simUntil -font TkFixedFont]
    pack $f.ctl.until.l -side left
    pack $f.ctl.until.e -side left -fill x -expand 1 -padx 2
    pack $f.ctl.until -side top -fill x -pady 2
    set W(simstate) [ttk::label $f.ctl.state -textvariable ecview::simState -anchor w]
    pack $W(simstate) -side top -fill x
    pack [build_input_list $f.ctl.inputs] -side top -fill both -expand 1 -pady {4 0}
    pack $f.ctl -side left -fill y
    pack [ttk::separator $f.sep -orient vertical] -side left -fill y
    pack [build_chrono $f.chrono] -side left -fill both -expand 1
    bind $W(until) <Return> ecview::sim_run
    return $f
}

# A scrolled frame for the input controls (a canvas window).
proc ecview::build_input_list {f} {
    variable W
    ttk::labelframe $f -text Inputs
    canvas $f.c -width 260 -height 60 -highlightthickness 0 -borderwidth 0 \
        -background [ttk::style lookup TFrame -background] \
        -yscrollcommand [list $f.ys set]
    ttk::scrollbar $f.ys -orient vertical -command [list $f.c yview]
    set W(inputs) [ttk::frame $f.c.f]
    $f.c create window 0 0 -anchor nw -window $W(inputs)
    bind $W(inputs) <Configure> [list apply {{c} {$c configure -scrollregion [$c bbox all]}} $f.c]
    pack $f.ys -side right -fill y
    pack $f.c -side left -fill both -expand 1
    return $f
}

# A new program: a control per input (the first maxControls of them), each
# starting from a value of its type.
proc ecview::reset_inputs {} {
    variable W
    variable prog
    variable simInput
    variable inputClock
    variable inputWidget
    variable maxControls
    foreach w [winfo children $W(inputs)] { destroy $w }
    array unset simInput
    array unset inputClock
    array unset inputWidget
    if {$prog eq ""} return
    set inputs [$prog vars -kind input]
    set row 0
    foreach name [lrange $inputs 0 [expr {$maxControls - 1}]] {
        set d [$prog var $name]
        set inputClock($name) [dict get $d clock]
        ttk::label $W(inputs).l$row -text $name -anchor w
        set inputWidget($name) [input_control $W(inputs).c$row $name [dict get $d type]]
        grid $W(inputs).l$row $inputWidget($name) -sticky w -padx 2 -pady 1
        incr row
    }
    if {[llength $inputs] > $maxControls} {
        ttk::label $W(inputs).more -foreground #757575 \
            -text "[expr {[llength $inputs] - $maxControls}] more inputs keep their values"
        grid $W(inputs).more - -sticky w
    }
    trace add variable simInput write ecview::inputs_changed
    enable_inputs
}

# The control of an input, by its type.
proc ecview::input_control {w name type} {
    variable simInput
    set var ecview::simInput($name)
    switch -- $type {
        bool {
            set simInput($name) 0
            ttk::checkbutton $w -variable $var
        }
        int {
            set simInput($name) 0
            ttk::spinbox $w -from -2147483648 -to 2147483647 -increment 1 -width 10 \
                -textvariable $var
        }
        default {
            set constants [enum_constants $type]
            if {[llength $constants]} {
                set simInput($name) [lindex $constants 0]
                ttk::combobox $w -values $constants -state readonly -width 10 -textvariable $var
            } else {
                set simInput($name) [expr {$type eq "real" ? "0.0" : ""}]
                ttk::entry $w -width 12 -textvariable $var
            }
        }
    }
    return $w
}

# The constants of an enumerated type ({} for any other type).
proc ecview::enum_constants {type} {
    variable prog
    foreach t [$prog types] {
        if {[dict get $t name] eq $type} { return [dict get $t values] }
    }
    return {}
}

proc ecview::inputs_changed {args} {
    after cancel ecview::enable_inputs
    after idle ecview::enable_inputs
}

# Whether an input's clock ticks at the next step: its clock is an input
# whose control is set and whose own clock ticks (an input on the clock of
# another kind of variable stays enabled: the run says).
proc ecview::input_ticks {name} {
    variable inputClock
    variable simInput
    set clock $inputClock($name)
    if {$clock eq "" || ![info exists inputClock($clock)]} { return 1 }
    expr {[string is true -strict $simInput($clock)] && [input_ticks $clock]}
}

proc ecview::enable_inputs {} {
    variable inputWidget
    foreach {name w} [array get inputWidget] {
        $w state [expr {[input_ticks $name] ? "!disabled" : "disabled"}]
    }
}

# The control of an input ("" when it has none).
proc ecview::input_widget {name} {
    variable inputWidget
    expr {[info exists inputWidget($name)] ? $inputWidget($name) : ""}
}

# The inputs of the next step, from the controls: those whose clock ticks.
proc ecview::control_inputs {} {
    variable simInput
    set inputs {}
    foreach name [array names simInput] {
        if {[input_ticks $name]} { dict set inputs $name $simInput($name) }
    }
    return $inputs
}

# Sets (or reads) an input's control, as a person would.
proc ecview::sim_input {name args} {
    variable simInput
    if {![info exists simInput($name)]} { error "no control for input '$name'" }
    if {[llength $args]} {
        set simInput($name) [lindex $args 0]
        enable_inputs
    }
    return $simInput($name)
}

# The buttons, by whether a run is on.
proc ecview::sim_buttons {running} {
    variable W
    set idle [expr {$running ? "disabled" : "!disabled"}]
    foreach b {simreset simstep simrun simauto} { $W($b) state $idle }
    $W(simpause) state [expr {$running ? "!disabled" : "disabled"}]
}
