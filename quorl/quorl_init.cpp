// The module's entry point, called by Tcl's `load'.
#include <tcl.h>
#include <tk.h>

#include "corvel/tcl_glue.h"
#include "quorl/quorl.h"
#include "zindle/tcl_init_lustre.h"
#include "zindle/tcl_timer.h"

extern "C" __attribute__((visibility("default"))) int Quorl_Init(Tcl_Interp* interp) {
    // The stubs first: nothing of Tcl may be called before. A failure keeps
    // its message and gets the error code {ZINDLE INSTALL}.
    if (Tcl_InitStubs(interp, "8.6", 0) == nullptr) return TCL_ERROR;
    return guard_command(interp, [&] {
        if (Tk_InitStubs(interp, "8.6", 0) == nullptr ||
            Tcl_PkgProvideEx(interp, "Zindle", "1.0", nullptr) == TCL_ERROR ||
            Tcl_InitLustre(interp) != 0 || TimeHandler_Init(interp) != 0 ||
            run_quorl_Init(interp) != 0)
            return set_error_code(interp, {"INSTALL"});
        return TCL_OK;
    });
}
