// The installation script run when the module is loaded.
#ifndef ZINDLE_TCL_INIT_LUSTRE_H
#define ZINDLE_TCL_INIT_LUSTRE_H

#include <tcl.h>

// Defines and runs `lustreSetTclLib', which checks LUSTRE_INSTALL and sets
// the globals lustre_install and tcl_libPath. Returns the script's status;
// on failure its message is the interpreter result.
int Tcl_InitLustre(Tcl_Interp* interp);

#endif
