// The installation script: LUSTRE_INSTALL must name an existing path, whose
// "tcl" subdirectory is appended to tcl_libPath.
#include "zindle/tcl_init_lustre.h"

static const char INSTALL_SCRIPT[] =
    "proc lustreSetTclLib {} {\n"
    "    global env tcl_library tk_library lustre_install tcl_libPath\n"
    "    if {![info exists env(LUSTRE_INSTALL)]} {\n"
    "        error \"INSTALLATION PROBLEM:\\n==> environment variable LUSTRE_INSTALL not "
    "defined\\n\"\n"
    "    }\n"
    "    set lustre_install $env(LUSTRE_INSTALL)\n"
    "    if {![file exist $lustre_install]} {\n"
    "        error \"INSTALLATION PROBLEM:\\n==> can't access $env(LUSTRE_INSTALL)\"\n"
    "    }\n"
    "    lappend tcl_libPath [file join $lustre_install \"tcl\"]\n"
    "    return\n"
    "}\n"
    "lustreSetTclLib\n";

int Tcl_InitLustre(Tcl_Interp* interp) {
    return Tcl_EvalEx(interp, INSTALL_SCRIPT, -1, TCL_EVAL_GLOBAL);
}
