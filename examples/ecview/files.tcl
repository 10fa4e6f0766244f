# files.tcl: reading a program (File > Open, Reload) into every part of the
# window, its Lustre text with the places the printer gives, the file's own
# text for the Source tab, a file that does not read, the counts of the
# status line, and saving the program's text.
namespace eval ecview {
    variable sourceText ""      ;# the shown file's text as read
    variable sourceShown 0      ;# sourceText is in the Source tab
    variable places {}          ;# name -> {declaration LINE equation LINE} (text -places)
    variable placesOffset 0     ;# blank lines dropped from the top of the text
    variable eqCount 0          ;# equations in the text, once counted
}

proc ecview::choose {} {
    variable file
    set dir [expr {$file ne "" ? [file dirname $file] : [pwd]}]
    set path [tk_getOpenFile -initialdir $dir -filetypes {{{ec programs} .ec} {{all files} *}}]
    if {$path ne ""} { open_file $path }
}

proc ecview::reload {} {
    variable file
    if {$file eq ""} { say "nothing to reload" 1; return 0 }
    open_file $file 1
}

proc ecview::drop_program {} {
    variable prog
    stop_run
    if {$prog ne ""} { rename $prog "" }
    set prog ""
}

# Empties every part for a new program (or none); with keep (a reload),
# the filter, sort and Back's names stay.
proc ecview::reset_views {keep} {
    variable W
    # The tables first: their rows are drawn from the arrays emptied below.
    reset_table $keep
    reset_uses $keep
    reset_diagnostics
    foreach a {kindOf info done} { variable $a; array unset $a }
    variable names {}
    variable places {}
    variable placesOffset 0
    variable queue {}
    variable typeNames {}
    set_text $W(text) ""
    set_text $W(source) ""
    variable sourceShown 0
    variable counts ""
    variable progress 0
}

# Reads a program. With keep (a reload), the filter, sort, selection and
# view stay as they were when the names are still there.
proc ecview::open_file {path {keep 0}} {
    variable prog
    variable file
    variable generation
    variable names
    variable selected
    variable W
    incr generation
    set start [clock milliseconds]
    set wasSelected [expr {$keep ? $selected : ""}]
    set view [lindex [$W(text) yview] 0]
    say "reading [file tail $path]..."
    variable progress 5
    busy 1
    update idletasks

    variable progCount
    set new ::ecview::program[incr progCount]
    ecprg $new
    if {[catch {$new load $path} message options]} {
        rename $new ""
        busy 0
        load_failed $path [dict get $options -errorcode]
        return 0
    }
    drop_program
    set prog $new
    set file [file normalize $path]
    read_source $file
    set selected ""
    reset_views $keep
    variable progress 30
    variable kindOf
    variable typeNames [lmap t [$prog types] {dict get $t name}]
    set names {}
    foreach kind {input output local const} {
        set some [$prog vars -kind $kind]
        lappend names {*}$some
        foreach n $some { set kindOf($n) $kind }
    }
    fit_name_column
    widen_table
    sort_order
    apply_filter
    variable progress 50
    update idletasks

    # The text's leading blank lines are dropped; line_of counts them.
    variable places
    lassign [$prog text -places] text places
    set shown [string trimleft $text \n]
    variable placesOffset [expr {[string length $text] - [string length $shown]}]
    set_text $W(text) $shown
    unset text shown
    variable progress 80
    wm title . "ecview \u2014 [file tail $file] \u2014 [$prog profile]"
    show_counts
    if {$keep} { $W(text) yview moveto $view }
    $W(notebook) select 0
    update idletasks
    variable loadTime [expr {[clock milliseconds] - $start}]
    say "[file tail $file]: shown in $loadTime ms"
    show_counts

    sim_program $keep
    run_in_background {count_equations fill_info check_task}
    if {$wasSelected ne "" && [info exists kindOf($wasSelected)]} { select $wasSelected 0 }
    return 1
}

# The line of a name's declaration or equation (what: declaration or
# equation) in the Lustre text shown; 0 when the text has none.
proc ecview::line_of {what name} {
    variable places
    variable placesOffset
    if {![dict exists $places $name]} { return 0 }
    set line [dict get $places $name $what]
    expr {$line > 0 ? $line - $placesOffset : 0}
}

# The equations of the text (a tuple equation is one), from the lines where
# they start (a background task, one slice).
proc ecview::count_equations {} {
    variable places
    variable eqCount
    variable done
    set starts [lsearch -all -inline -not -exact -index 3 -subindices [dict values $places] 0]
    set eqCount [llength [lsort -integer -unique $starts]]
    set done(count_equations) 1
    show_counts
    return 0
}

# The counts of the status line; "equations" once they are counted.
proc ecview::show_counts {} {
    variable prog
    variable counts
    variable done
    variable eqCount
    variable loadTime
    if {$prog eq ""} { set counts ""; return }
    set parts {}
    foreach {op what} {nb-ins inputs nb-outs outputs nb-locs locals} {
        lappend parts "[$prog $op] $what"
    }
    lappend parts "[llength [$prog vars -kind const]] constants"
    lappend parts "[$prog nb-asts] assertions"
    lappend parts "[expr {[info exists done(count_equations)] ? $eqCount : "?"}] equations"
    if {[info exists loadTime]} { lappend parts "loaded in $loadTime ms" }
    set counts [join $parts ", "]
}

# A failed load: no program is shown; the file's own text is, with the line
# named by the error code highlighted, and the diagnostics list the error.
# The filter, sort and selection stay for the reload that follows a fix.
proc ecview::load_failed {path code} {
    variable file [file normalize $path]
    variable W
    drop_program
    reset_views 1
    sim_program 1
    lassign [load_error_text $path $code] message line column
    set_text $W(source) [read_source $path]
    variable sourceShown 1
    show_load_error $message $line $column
    $W(notebook) select 1
    update idletasks
    if {$line > 0} { mark_place $W(source) $line $column errline errcol }
    wm title . "ecview \u2014 [file tail $path] (not read)"
    say $message 1
}

# {message line column} of a failed load, from its error code.
proc ecview::load_error_text {path code} {
    set name [file tail $path]
    switch -- [lindex $code 1] {
        SYNTAX {
            lassign $code - - - line column near reason
            set message "$name: syntax error at line $line, column $column"
            if {$near eq "EOF"} {
                append message ": unexpected end of file"
            } elseif {$near ne ""} {
                append message " near '$near'"
            }
            # The reader's own words, unless they only repeat the above.
            if {$reason ne "" && ![string match "syntax error*" $reason]} {
                append message " ($reason)"
            }
            return [list $message $line $column]
        }
        IO { return [list "$name: cannot read it: [string tolower [lindex $code 3] 0 0]" 0 0] }
        EMPTY { return [list "$name: no node in this file" 0 0] }
        default { return [list "$name: cannot be read ([join [lrange $code 1 end]])" 0 0] }
    }
}

# The file's text, kept for the Source tab ("" when it cannot be read).
proc ecview::read_source {path} {
    variable sourceText ""
    if {![catch {open $path} f]} {
        catch {set sourceText [read $f]}
        close $f
    }
    return $sourceText
}

proc ecview::tab_changed {} {
    variable W
    if {[$W(notebook) index current] == 1} show_source
}

# The file's text goes into the Source tab when first needed.
proc ecview::show_source {} {
    variable sourceShown
    variable sourceText
    variable W
    if {$sourceShown} return
    set sourceShown 1
    set_text $W(source) $sourceText
}

proc ecview::choose_save {form} {
    variable prog
    variable file
    if {$prog eq ""} { say "no program to save" 1; return }
    set ext [expr {$form eq "ec" ? ".ec" : ".lus"}]
    set path [tk_getSaveFile -initialdir [file dirname $file] -defaultextension $ext \
                  -initialfile [file rootname [file tail $file]]$ext]
    if {$path ne ""} { save $path $form }
}

# Writes the program's Lustre (or ec) text through a Tcl channel.
proc ecview::save {path {form lustre}} {
    variable prog
    if {$prog eq ""} { say "no program to save" 1; return 0 }
    if {[catch {
        set chan [open $path w]
        try {
            if {$form eq "ec"} {
                $prog dump -ec -channel $chan
            } else {
                $prog dump -channel $chan
            }
        } finally {
            close $chan
        }
    } message]} {
        say "cannot save [file tail $path]: [lindex [split $message \n] end]" 1
        return 0
    }
    say "saved [file tail $path]"
    return 1
}
