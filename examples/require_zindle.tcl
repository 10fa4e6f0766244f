# How the example scripts load the module, sourced by each of them: Tk
# first (the module binds to it), then `package require Zindle' with the
# build directory on the package path when one is named: by the variable
# zindleBuild, set before this file is sourced (the demos take it as their
# argument), or else by the environment variable ZINDLE_BUILD. Without
# either, an installed package is found (or one on TCLLIBPATH). A script
# sourced by another that loaded the module already changes nothing.
# Like every use of the package, it needs LUSTRE_INSTALL to name an
# existing directory and Tk to find a display.
package require Tk 8.6
if {![info exists ::zindleBuild] && [info exists ::env(ZINDLE_BUILD)]} {
    set ::zindleBuild $::env(ZINDLE_BUILD)
}
# First on the path: of two directories that offer the same version, Tcl
# takes the one nearer the front.
if {[info exists ::zindleBuild] && $::zindleBuild ne ""} {
    set ::auto_path [linsert $::auto_path 0 [file normalize $::zindleBuild]]
}
package require Zindle
