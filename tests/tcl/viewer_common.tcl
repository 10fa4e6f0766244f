# What the tests of the Tk viewer (viewer.test, simpane.test) share: a
# child tclsh that shows the viewer on a file and runs a script there,
# with helpers to drive its widgets as a person would.
set ::examplesDir [file join $::zindleSource examples]

# The child's helpers: rows (first column of the rows in sight), clickRow,
# clickText, typeInto, line (the text of a tag's first line), ascii, capture.
set ::viewerHead {
    source [file join $examplesDir ecview.tcl]
    wm deiconify .
    update
    if {$file ne ""} { ecview::open_file $file; update; ecview::wait; update }
    proc rows {tv} { lmap i [$tv children {}] { lindex [$tv item $i -values] 0 } }
    proc clickRow {tv n {event Button-1}} {
        lassign [$tv bbox [lindex [$tv children {}] $n]] x y w h
        event generate $tv <$event> -x [expr {$x + 5}] -y [expr {$y + $h / 2}]
        update
    }
    proc clickText {t index} {
        $t see $index
        update
        lassign [$t bbox $index] x y
        event generate $t <Button-1> -x [incr x 2] -y [incr y 2]
        event generate $t <ButtonRelease-1> -x $x -y $y
        update
    }
    proc typeInto {entry text} {
        focus -force $entry
        foreach c [split $text ""] {
            event generate $entry <KeyPress> -keysym [string map {" " space + plus ( parenleft * asterisk} $c]
        }
        update
    }
    proc line {t tag} {
        set r [$t tag ranges $tag]
        if {$r eq ""} { return "" }
        string trim [$t get [lindex $r 0] "[lindex $r 0] lineend"]
    }
    proc ascii {text} { string map [list \u2014 -- \u25b2 up \u25bc down] $text }
    # Writes a PNG picture of the main window into shot, or prints what the
    # capture tools said. The screen is taken whole and cut to the window
    # (raised first: other test files may show windows on the same server),
    # since a window's own picture is refused while any part of it is off
    # the screen; a busy server may also hand back a picture that does not
    # read as one, so it is taken again, up to five times.
    proc capture {shot} {
        unset -nocomplain ::env(LD_PRELOAD)
        raise .
        set why ""
        for {set try 0} {$try < 5} {incr try} {
            update; after 300; update
            set x [expr {max(0, [winfo rootx .])}]
            set y [expr {max(0, [winfo rooty .])}]
            set w [expr {min([winfo width .], [winfo screenwidth .] - $x)}]
            set h [expr {min([winfo height .], [winfo screenheight .] - $y)}]
            catch {exec xwd -silent -root | xwdtopnm | pamcut -left $x -top $y -width $w -height $h \
                       | pnmtopng > $shot 2> $shot.err} failure
            if {![catch {image delete [image create photo -file $shot]} why]} { set why ""; break }
            set f [open $shot.err]
            set said [string trim [read $f]]
            close $f
            if {$said ne ""} { set why $said } elseif {$failure ne ""} { set why $failure }
        }
        file delete $shot.err
        puts -nonewline $why
    }
}

# Runs body in a child showing the viewer on file (none when ""), with the
# variables examplesDir, file, tmp and those of the dict vars set; returns
# what it printed, or its status and standard error when it failed.
proc viewer {file args} {
    lassign [expr {[llength $args] > 1 ? $args : [list {} {*}$args]}] more body
    set vars [list examplesDir $::examplesDir file $file tmp [temporaryDirectory] {*}$more]
    lassign [runChild "[join [lmap {k v} $vars {list set $k $v}] \n]\n$::viewerHead$body"] status out err
    if {$status != 0 || $err ne ""} { return "status $status: $err" }
    string trimright $out
}

testConstraint capture [expr {![catch {exec sh -c {command -v xwd && command -v xwdtopnm && command -v pamcut && command -v pnmtopng}}]}]

# Shows the viewer on file, runs body, and writes a picture of the window
# into doc/NAME (see capture). The capture goes to a scratch file first: a
# failed one leaves the old image. 1 when the picture has a window's size,
# else what the capture said.
proc screenshot {file body name} {
    set shot [file join [temporaryDirectory] $name]
    set out [viewer $file [list shot $shot] "$body\ncapture \$shot"]
    if {$out ne ""} { return "no picture: $out" }
    set image [image create photo -file $shot]
    set size [list [image width $image] [image height $image]]
    image delete $image
    file rename -force $shot [file join $::zindleSource doc $name]
    expr {[lindex $size 0] > 800 && [lindex $size 1] > 500}
}
