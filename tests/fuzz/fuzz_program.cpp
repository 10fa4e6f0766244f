// libFuzzer target of the whole-program reader: the input bytes are read as
// an ec file into a fresh program; an accepted program is printed as Lustre
// text (to /dev/null), then everything is freed.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // fmemopen refuses a zero-length buffer: the empty file is /dev/null.
    FILE* in = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "r") : fopen("/dev/null", "r");
    if (!in) return 0;
    SymbolTable* symbols = new SymbolTable();
    EcPrg* prg = new EcPrg(symbols);
    if (EcParseFile(prg, symbols, in) == 0) {
        FILE* out = fopen("/dev/null", "w");
        if (out) {
            PtyStream stream(out, 80);  // closes out
            prg->print_lus(&stream);
        }
    }
    (void)fclose(in);  // a read-only memory stream: closing cannot lose data
    delete prg;
    delete symbols;
    return 0;
}
