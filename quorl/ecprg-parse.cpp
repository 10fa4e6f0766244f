// EcPrg::exp_parse: reads one expression into the program, types it, and
// takes back everything the attempt added when either step fails.
#include "quorl/ecprg.h"
#include "quorl/reader.h"

Exp* EcPrg::exp_parse(const char* text) {
    EcPrgMark m = mark();
    Exp* root = nullptr;
    if (EcExpParseString(this, symbols(), text, &root) == 0 && type(root) != nullptr)
        return root;
    // The nodes and the literal records made for the text go; the message of
    // the reader or the type checker stays. Interned names and tuple types
    // made while typing stay too: they change nothing of the program.
    rollback(m);
    return nullptr;
}
