# Memory stability of program objects: many create / use / delete cycles in
# one process must leave the resident memory flat.
#
#   tclsh bench/cycles.tcl LIBZINDLE ?FILE.ec? ?options?
#
#   -mode load   (default) each cycle: `ecprg', `load' FILE, `loadch' it,
#                profile, the five counts, the name and type of every input,
#                output and local, an `exp', an `exp-type', an `eq', `dump'
#                to a file, then `rename obj {}'.
#   -mode fail   each cycle: `load' FILE, then `load' a copy of FILE with a
#                syntax error in the middle of its equations (it must fail),
#                a missing file, expressions with syntax, name and type
#                errors, failed `eq' and `add-func' calls, then delete.
#   -mode build  each cycle builds a program from nothing with add-in,
#                add-out, add-loc, add-func, func-decl, exp, eq, exp-type
#                (good and failing calls), dumps it and deletes it.
#   -cycles N    number of cycles (default 10000).
#   -generate N  instead of FILE, use a generated program of N locals (and
#                N equations) written into the temporary directory.
#   -margin KB   allowed growth of the resident memory between the sample
#                after N/10 cycles and the one after N cycles (default 128).
#
# Without FILE and -generate, FILE is examples/types.ec. The resident memory
# (VmRSS) is printed after cycle 100 and after every tenth of the run. Exit
# status 0 when memory stayed within the margin, 1 when it grew more, 2 on a
# usage error or an unexpected result of an operation.
#
# Why 128 kB: the first tenth of the run brings the allocators (malloc's
# arenas, Tcl's object and string caches) to their working size; after it,
# code that frees everything it makes leaves the resident memory flat except
# for fragmentation noise, measured at 0 to 24 kB over 9,000 cycles in every
# mode. The smallest leak, one heap block (32 bytes with malloc's header) per
# cycle, adds 288 kB over the last 9,000 of 10,000 cycles: twice the margin.
# Leaks smaller than one block per cycle are valgrind's job
# (scripts/valgrind-tcl.sh).
package require Tk
wm withdraw .

proc usage {} {
    puts stderr "usage: tclsh cycles.tcl LIBZINDLE ?FILE.ec? ?-mode load|fail|build? ?-cycles N? ?-generate N? ?-margin KB?"
    exit 2
}

set benchDir [file dirname [file normalize [info script]]]
if {[llength $argv] < 1} usage
set lib [file normalize [lindex $argv 0]]
set args [lrange $argv 1 end]
set file ""
if {[llength $args] % 2 == 1} {
    set file [file normalize [lindex $args 0]]
    set args [lrange $args 1 end]
}
array set opt {-mode load -cycles 10000 -generate 0 -margin 128}
foreach {k v} $args {
    if {![info exists opt($k)]} usage
    set opt($k) $v
}
if {$opt(-mode) ni {load fail build}} usage
foreach k {-cycles -generate -margin} {
    if {![string is integer -strict $opt($k)] || $opt($k) < 0} usage
}
if {$opt(-cycles) < 10} usage

# The installation script of the module needs LUSTRE_INSTALL to name an
# existing path; any directory will do here.
set tmpDir [file join [expr {[info exists env(TMPDIR)] ? $env(TMPDIR) : "/tmp"}] cycles-[pid]]
file mkdir $tmpDir
if {![info exists env(LUSTRE_INSTALL)]} { set env(LUSTRE_INSTALL) $tmpDir }
load $lib Quorl

proc writeFile {path text} {
    set f [open $path w]
    puts -nonewline $f $text
    close $f
}

# A program of n locals: integer and boolean equations, `pre' and `->',
# `if', references backwards over the whole node.
proc generate {n path} {
    set out "node gen(i0 : int; i1 : int; b0 : bool) returns (o : int; ok : bool);\nvar\n"
    for {set k 0} {$k < $n} {incr k} {
        append out "  v$k : [expr {$k % 3 == 2 ? "bool" : "int"}];\n"
    }
    append out "let\n"
    set lastInt i0
    set lastBool b0
    for {set k 0} {$k < $n} {incr k} {
        if {$k % 3 == 2} {
            append out "  v$k = if $lastBool then $lastInt > i1 else not (0 -> pre $lastBool);\n"
            set lastBool v$k
        } else {
            append out "  v$k = if $lastBool then $lastInt + $k else (i1 -> pre $lastInt) * 2;\n"
            set lastInt v$k
        }
    }
    append out "  o = $lastInt;\n  ok = $lastBool;\ntel.\n"
    writeFile $path $out
}

# FILE with a line that cannot be parsed half-way through its equations (half
# of the file when there is no `let' ... `tel').
proc breakProgram {from to} {
    set f [open $from]; set lines [split [read $f] \n]; close $f
    set let [lsearch -regexp $lines {^\s*let\s*$}]
    set tel [lsearch -regexp $lines {^\s*tel\.?\s*$}]
    if {$let >= 0 && $tel > $let} {
        set at [expr {($let + $tel + 1) / 2}]
    } else {
        set at [expr {[llength $lines] / 2}]
    }
    writeFile $to [join [linsert $lines $at "  broken = ( + ;"] \n]
}

proc check {cond what} {
    if {!$cond} {
        puts stderr "cycles.tcl: unexpected result: $what"
        exit 2
    }
}

# `script' must fail with a message matching the glob `pattern'.
proc mustFail {pattern script} {
    set failed [catch {uplevel 1 $script} msg]
    check [expr {$failed && [string match $pattern $msg]}] "$script gave '$msg'"
}

proc rssKb {} {
    set f [open /proc/self/status]
    set text [read $f]
    close $f
    regexp {VmRSS:\s+(\d+)} $text -> kb
    return $kb
}

# A variable of the program and an expression of its type that any program
# can type: `if true then v else v'.
proc someVariable {p} {
    foreach {count nameOp} {nb-outs out-name nb-locs loc-name nb-ins in-name} {
        if {[$p $count] > 0} { return [$p $nameOp 0] }
    }
    return ""
}

proc cycleLoad {file dumpFile} {
    ecprg p
    p load $file
    set ch [open $file]
    p loadch $ch
    close $ch
    p profile
    foreach count {nb-ins nb-outs nb-locs nb-asts nb-funcs} { p $count }
    foreach {count nameOp typeOp} {nb-ins in-name in-type nb-outs out-name out-type nb-locs loc-name loc-type} {
        set n [p $count]
        for {set i 0} {$i < $n} {incr i} {
            p $nameOp $i
            p $typeOp $i
        }
    }
    set v [someVariable p]
    if {$v ne ""} {
        set h [p exp "if true then $v else $v"]
        p exp-type $h
        p exp-type "if false then $v else $v"
        set hv [p exp-type $v]
        if {[p nb-outs] + [p nb-locs] > 0 && $hv ne "<unamed-type>"} {
            check [expr {[p eq $v $h] eq $h}] "eq $v $h"
        }
    }
    p dump $dumpFile
    rename p {}
}

proc cycleFail {file broken dumpFile} {
    ecprg p
    p load $file
    mustFail "*syntax errors while parsing*" { p load $broken }
    set ch [open $broken]
    mustFail "*syntax errors while parsing*" { p loadch $ch }
    close $ch
    mustFail "*can't open file*" { p load $broken.missing }
    mustFail "*" { p exp "(1 + " }
    mustFail "*" { p exp "undeclared_name_x + 1" }
    mustFail "*" { p exp "if 1 then true else 2" }
    mustFail "*" { p exp-type "1 + true" }
    set v [someVariable p]
    if {$v ne ""} {
        mustFail "*" { p eq $v "$v + " }
    }
    mustFail "*unknown type*" { p add-in no_such_type z }
    mustFail "*unknown type*" { p add-func ff int no_such_type : bool }
    mustFail "*Sorry*" { p add-func gg int : bool int }
    mustFail "*index out of bounds*" { p in-name 100000000 }
    mustFail "*unknown operation*" { p no-such-op }
    # The object must still hold the good program.
    p dump $dumpFile
    rename p {}
}

proc cycleBuild {nbLocals dumpFile} {
    ecprg b node
    b add-in int a
    b add-in bool c
    b add-in real r
    b add-out int o
    b add-out bool ok
    for {set k 0} {$k < $nbLocals} {incr k} { b add-loc int }
    b add-func f int real : bool
    b add-func g int : int
    check [expr {[b func-decl 0] eq "f int real : bool"}] "func-decl 0"
    set prev a
    for {set k 0} {$k < $nbLocals} {incr k} {
        set v [b loc-name $k]
        b eq $v "if c then $prev + $k else 0 -> pre $prev"
        set prev $v
    }
    set h [b exp "g($prev) + 1"]
    check [expr {[b exp-type $h] eq "int"}] "exp-type $h"
    b eq o $h
    b eq ok "f(a, r) and c"
    mustFail "*already used identifier*" { b add-in int a }
    mustFail "*unknown type*" { b add-loc no_such_type }
    mustFail "*Sorry*" { b add-func t int : int bool }
    mustFail "*already used identifier*" { b add-func t int : int }
    mustFail "*bad type combination*" { b eq o true }
    mustFail "*not output or local*" { b eq a 1 }
    mustFail "*" { b exp "a + + 1" }
    mustFail "*" { b exp "a + c" }
    b dump $dumpFile
    rename b {}
}

set dumpFile [file join $tmpDir dump.lus]
if {$opt(-generate) > 0} {
    set file [file join $tmpDir gen$opt(-generate).ec]
    generate $opt(-generate) $file
} elseif {$file eq ""} {
    set file [file join [file dirname $benchDir] examples types.ec]
}
switch -- $opt(-mode) {
    load  { set body [list cycleLoad $file $dumpFile] }
    fail  {
        set broken [file join $tmpDir broken.ec]
        breakProgram $file $broken
        set body [list cycleFail $file $broken $dumpFile]
    }
    build {
        set n [expr {$opt(-generate) > 0 ? $opt(-generate) : 20}]
        set body [list cycleBuild $n $dumpFile]
    }
}

set cycles $opt(-cycles)
set tenth [expr {$cycles / 10}]
set samples {}
puts "mode $opt(-mode), [expr {$opt(-mode) eq "build" ? "built program" : $file}], $cycles cycles"
puts [format "%8s %10s" cycle rss_kb]
set t0 [clock milliseconds]
for {set c 1} {$c <= $cycles} {incr c} {
    if {[catch {uplevel #0 $body} msg]} {
        puts stderr "cycles.tcl: cycle $c failed: $msg"
        exit 2
    }
    if {$c == 100 || $c % $tenth == 0} {
        set kb [rssKb]
        dict set samples $c $kb
        puts [format "%8d %10d" $c $kb]
    }
}
set seconds [expr {([clock milliseconds] - $t0) / 1000.0}]
file delete -force $tmpDir

set base [dict get $samples $tenth]
set last [dict get $samples [expr {$tenth * 10}]]
set growth [expr {$last - $base}]
puts [format "growth after cycle %d: %d kB (%.1f bytes per cycle; margin %d kB), %.1f s, %.2f ms per cycle" \
          $tenth $growth [expr {$growth * 1024.0 / ($cycles - $tenth)}] $opt(-margin) \
          $seconds [expr {$seconds * 1000.0 / $cycles}]]
if {$growth > $opt(-margin)} {
    puts "cycles.tcl: FAIL: resident memory grew by $growth kB"
    exit 1
}
puts "cycles.tcl: ok"
exit 0
