// The module's entry point, called by Tcl's `load'.
#include <tcl.h>
#include <tk.h>

#include "quorl/quorl.h"
#include "zindle/tcl_init_lustre.h"
#include "zindle/tcl_timer.h"

extern "C" __attribute__((visibility("default"))) int Quorl_Init(Tcl_Interp* interp) {
    return guard_command(interp, [&] {
        if (Tcl_InitStubs(interp, "8.6", 0) == nullptr) return TCL_ERROR;
        if (Tk_InitStubs(interp, "8.6", 0) == nullptr) return TCL_ERROR;
        if (Tcl_PkgProvideEx(interp, "Zindle", "1.0", nullptr) == TCL_ERROR) return TCL_ERROR;
        if (Tcl_InitLustre(interp) != 0) return TCL_ERROR;
        if (TimeHandler_Init(interp) != 0) return TCL_ERROR;
        if (run_quorl_Init(interp) != 0) return TCL_ERROR;
        return TCL_OK;
    });
}
