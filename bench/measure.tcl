# Measuring helpers of the benchmark scripts, which source this file.

# A field of /proc/self/status in kB: VmHWM (peak resident memory), VmRSS.
proc status_kb {field} {
    set f [open /proc/self/status]
    regexp "$field:\\s+(\\d+)" [read $f] -> kb
    close $f
    return $kb
}

# The time a script takes in the caller's frame: seconds with six decimals,
# or milliseconds with `ms' and the given number of decimals.
proc elapsed {script {unit s} {decimals 1}} {
    set t0 [clock microseconds]
    uplevel 1 $script
    set us [expr {[clock microseconds] - $t0}]
    if {$unit eq "ms"} { return [format %.${decimals}f [expr {$us / 1e3}]] }
    return [format %.6f [expr {$us / 1e6}]]
}
