# expression.tcl: the entry under the panes that types what is typed in it
# and says the type, or what is wrong in the words of a Lustre programmer.
namespace eval ecview {
    variable expression ""
}

# The prompt, the entry and the label of its result, in the frame f.
proc ecview::build_expression {f} {
    variable W
    ttk::frame $f
    ttk::label $f.prompt -text "Expression:"
    set W(expr) [ttk::entry $f.entry -textvariable ecview::expression -width 50 \
                     -font TkFixedFont]
    set W(exptype) [ttk::label $f.result -anchor w]
    pack $f.prompt -side left -padx 4
    pack $f.entry -side left -fill x -expand 1
    pack $f.result -side left -fill x -expand 1 -padx 8
    # Typed once the keystrokes of a burst are in.
    trace add variable ecview::expression write {apply {args {
        after cancel ecview::type_expression
        after idle ecview::type_expression
    }}}
    return $f
}

proc ecview::type_expression {} {
    variable expression
    exptype $expression
}

# Types an expression and shows the type, or what is wrong in the words of
# a Lustre programmer, built from the error code (the error's message names
# the reader's internal node kinds).
proc ecview::exptype {text} {
    variable prog
    variable W
    if {[string trim $text] eq ""} {
        set message ""
        set error 0
    } elseif {$prog eq ""} {
        set message "no program: open an ec file first"
        set error 1
    } elseif {[catch {$prog exp-type $text} type options]} {
        set message [expression_error [dict get $options -errorcode] $text]
        set error 1
    } else {
        set message "type: $type"
        set error 0
    }
    $W(exptype) configure -text $message -foreground [expr {$error ? "#b00020" : "#1b5e20"}]
    return $message
}

proc ecview::expression_error {code text} {
    set words [lrange $code 2 end]
    switch -- [lindex $code 1] {
        TYPE { return "type error: expected [lindex $words 0], found [lindex $words 1]" }
        UNDECLARED { return "'[lindex $words 0]' is not declared" }
        SYNTAX {
            lassign $words - line column near
            if {$near eq "EOF"} {
                return "syntax error at line $line, column $column: the expression is incomplete"
            }
            return "syntax error at line $line, column $column near '$near'"
        }
        UNSUPPORTED { return "the type of this expression cannot be computed" }
        NOPROGRAM { return "no program: open an ec file first" }
        default { return "the expression cannot be typed" }
    }
}
