# Reads the XML files valgrind's memcheck wrote into a directory (one per
# process) and sums them up on one line (used by scripts/valgrind-tcl.sh):
#
#   tclsh valgrind-report.tcl ?-details? LOGDIR
#
# Exit status 1 when any process reported a memory error other than a leak,
# a definite leak whose allocation stack goes through libzindle.so, or when
# an XML file is incomplete (its process was killed); 0 otherwise.
# -details prints each of those errors with its stack.

set details 0
if {[lindex $argv 0] eq "-details"} {
    set details 1
    set argv [lrange $argv 1 end]
}
if {[llength $argv] != 1} {
    puts stderr "usage: tclsh valgrind-report.tcl ?-details? LOGDIR"
    exit 2
}
set dir [lindex $argv 0]

proc xmlText {text} {
    string map {&lt; < &gt; > &amp; & &quot; \" &apos; '} $text
}

# The first element `tag' of `xml', or "".
proc element {xml tag} {
    if {[regexp "<$tag>(.*?)</$tag>" $xml -> value]} { return [xmlText $value] }
    return ""
}

# The frames of the first stack of an error, as {fn place obj} triples.
proc frames {xml} {
    set out {}
    regexp {<stack>(.*?)</stack>} $xml -> stack
    foreach {- frame} [regexp -all -inline {<frame>(.*?)</frame>} $stack] {
        set place [element $frame file]
        if {$place ne ""} { append place : [element $frame line] }
        lappend out [list [element $frame fn] $place [element $frame obj]]
    }
    return $out
}

proc ours {frames} {
    foreach f $frames {
        if {[string match */libzindle.so [lindex $f 2]]} { return 1 }
    }
    return 0
}

array set sum {processes 0 incomplete 0 errors 0 errorsOurs 0 defBytes 0 defBlocks 0
               defOursBytes 0 defOursBlocks 0 indBytes 0 indBlocks 0 suppressed 0}
set bad {}
set foreign {}
foreach file [lsort [glob -nocomplain -directory $dir vg.*.xml]] {
    set f [open $file]
    set xml [read $f]
    close $f
    if {$xml eq ""} continue
    incr sum(processes)
    if {![string match *</valgrindoutput>* $xml]} {
        incr sum(incomplete)
        lappend bad [list $file incomplete "no end of output: the process was killed" {}]
    }
    foreach {- error} [regexp -all -inline {<error>(.*?)</error>} $xml] {
        set kind [element $error kind]
        set stack [frames $error]
        set mine [ours $stack]
        set what [element $error what]
        if {$what eq ""} { set what [element [element $error xwhat] text] }
        switch -- $kind {
            Leak_DefinitelyLost {
                set bytes [element $error leakedbytes]
                set blocks [element $error leakedblocks]
                incr sum(defBytes) $bytes
                incr sum(defBlocks) $blocks
                if {$mine} {
                    incr sum(defOursBytes) $bytes
                    incr sum(defOursBlocks) $blocks
                    lappend bad [list $file $kind $what $stack]
                } else {
                    lappend foreign [list $file $what $stack]
                }
            }
            Leak_IndirectlyLost - Leak_PossiblyLost - Leak_StillReachable {
                if {$kind eq "Leak_IndirectlyLost"} {
                    incr sum(indBytes) [element $error leakedbytes]
                    incr sum(indBlocks) [element $error leakedblocks]
                }
            }
            default {
                incr sum(errors)
                if {$mine} { incr sum(errorsOurs) }
                lappend bad [list $file $kind $what $stack]
            }
        }
    }
    foreach {- pair} [regexp -all -inline {<pair>(.*?)</pair>} [element $xml suppcounts]] {
        incr sum(suppressed) [element $pair count]
    }
}

puts -nonewline [format "%d processes, %d errors (%d in our code), definitely lost %d B in %d blocks (%d B in %d blocks in our code), indirectly lost %d B in %d blocks, %d suppressed" \
    $sum(processes) $sum(errors) $sum(errorsOurs) $sum(defBytes) $sum(defBlocks) \
    $sum(defOursBytes) $sum(defOursBlocks) $sum(indBytes) $sum(indBlocks) $sum(suppressed)]
if {$sum(incomplete)} { puts -nonewline ", $sum(incomplete) incomplete logs" }
puts ""
if {$details} {
    foreach b $bad {
        lassign $b file kind what stack
        puts "  [file tail $file]: $kind: $what"
        foreach frame [lrange $stack 0 14] {
            lassign $frame fn place obj
            puts "      $fn ([expr {$place ne "" ? $place : $obj}])"
        }
    }
    # Definite leaks outside our code make valgrind's exit status fail the
    # test file; one line each, to tell whether a suppression is due.
    foreach b $foreign {
        lassign $b file what stack
        set named {}
        foreach frame $stack {
            set fn [lindex $frame 0]
            if {$fn ne "" && ![regexp {alloc|^operator new|^strdup} $fn]} { lappend named $fn }
        }
        puts "  [file tail $file]: definite leak not in our code: $what: [join [lrange $named 0 3] { < }]"
    }
}
exit [expr {$sum(errors) > 0 || $sum(defOursBlocks) > 0 || $sum(incomplete) > 0}]
