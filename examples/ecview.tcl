# ecview.tcl: a Tk viewer of ec programs.
#
# Usage: wish ecview.tcl ?FILE.ec?     (or: tclsh ecview.tcl ?FILE.ec?)
#
# File > Open reads an ec program; the window's title shows its profile, a
# table lists its inputs, outputs and locals with their types, and a read-only
# text shows it as Lustre. Type an expression in the entry at the bottom: its
# type, or the exact error message, shows at once in the status line. Errors
# never raise a dialog; they go to the status line.
# The module is loaded from the build directory named by the environment
# variable ZINDLE_BUILD when it is set, otherwise found with
# `package require Zindle'. LUSTRE_INSTALL must name an existing directory.
package require Tk

if {![llength [info commands ecprg]]} {
    if {[info exists env(ZINDLE_BUILD)]} {
        load [file join [file normalize $env(ZINDLE_BUILD)] libzindle.so] Quorl
    } else {
        package require Zindle
    }
}

namespace eval ecview {
    variable expression ""
    variable status "Open an ec file (File > Open)"
}

proc ecview::build {} {
    wm title . "ecview"
    menu .menu
    menu .menu.file -tearoff 0
    .menu add cascade -label File -menu .menu.file
    .menu.file add command -label Open... -command ecview::choose
    .menu.file add command -label Quit -command exit
    . configure -menu .menu

    ttk::panedwindow .pane -orient horizontal
    ttk::treeview .vars -columns {kind type} -height 12
    .vars heading #0 -text name
    .vars heading kind -text kind
    .vars heading type -text type
    .vars column #0 -width 120
    .vars column kind -width 60
    .vars column type -width 80
    text .lustre -width 80 -height 20 -font TkFixedFont -state disabled
    .pane add .vars
    .pane add .lustre -weight 1

    ttk::frame .bottom
    ttk::label .bottom.prompt -text "expression:"
    ttk::entry .bottom.exp -textvariable ecview::expression
    ttk::label .status -textvariable ecview::status -anchor w -relief sunken
    pack .bottom.prompt -side left
    pack .bottom.exp -side left -fill x -expand 1
    pack .status -side bottom -fill x
    pack .bottom -side bottom -fill x
    pack .pane -fill both -expand 1
    trace add variable ecview::expression write [list apply {args ecview::check}]
}

proc ecview::choose {} {
    set file [tk_getOpenFile -filetypes {{{ec programs} .ec} {{all files} *}}]
    if {$file ne ""} { open_file $file }
}

# Loads a program; on failure the previous one stays and the status says why.
proc ecview::open_file {file} {
    if {![llength [info commands ::ecviewprog]]} { ecprg ::ecviewprog }
    if {[catch {ecviewprog load $file} message]} {
        set ecview::status [string map {\n " "} $message]
        return 0
    }
    wm title . [ecviewprog profile]
    .vars delete [.vars children {}]
    foreach {kind count name type} {
        input nb-ins in-name in-type output nb-outs out-name out-type
        local nb-locs loc-name loc-type
    } {
        for {set i 0} {$i < [ecviewprog $count]} {incr i} {
            .vars insert {} end -text [ecviewprog $name $i] -values [list $kind [ecviewprog $type $i]]
        }
    }
    # dump writes a file only (standard output is the C library's); read it back.
    close [file tempfile tmp ecview.lus]
    if {[catch {ecviewprog dump $tmp; set f [open $tmp]; set text [read $f]; close $f} message]} {
        set text ""
        set ecview::status [string map {\n " "} $message]
    } else {
        set ecview::status "loaded [file tail $file]"
    }
    file delete $tmp
    .lustre configure -state normal
    .lustre delete 1.0 end
    .lustre insert end [string trimleft $text \n]
    .lustre configure -state disabled
    check
    return 1
}

# Types the entry's expression as it is typed.
proc ecview::check {} {
    variable expression
    if {![llength [info commands ::ecviewprog]]} return
    if {[string trim $expression] eq ""} return
    if {[catch {ecviewprog exp-type $expression} result]} {
        set ecview::status [string map {\n " "} $result]
    } else {
        set ecview::status "type: $result"
    }
}

# Errors of event scripts go to the status line, never to a dialog.
proc bgerror {message} { set ::ecview::status $message }

ecview::build
if {[llength $argv] > 0} { ecview::open_file [lindex $argv 0] }
