// libFuzzer target of the expression reader: the input, NUL-terminated, is
// parsed and typed by exp_parse against a fixed program that declares
// inputs of every kind of type, constants, functions and an enumerated type.
// An accepted expression is typed again and printed (to /dev/null). Then a
// known expression is parsed on the same program, so that anything a failed
// parse left behind (a record or node taken back but still reachable) is
// used at once under the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/exp.h"
#include "quorl/reader.h"

namespace {

const char kProgram[] =
    "type t; type color = (red, green, blue).\n"
    "const k : int; (kr : real) when c.\n"
    "function f(a : int; q : real) returns (z : bool)\n"
    "function g(a : int) returns (u : int; v : color)\n"
    "function h(a : t) returns (s : t);\n"
    "node n(x, y : int; r : real; b, c : bool; e : t; col : color;\n"
    "       (xc : int) when c)\n"
    "returns (o : int; (oc : real) when c);\n"
    "var l : real; (w : int) when b;\n"
    "let o = x + y; tel\n";

void print_to_null(Exp* e, SymbolTable* names) {
    FILE* out = fopen("/dev/null", "w");
    if (!out) return;
    PtyStream stream(out, 80);  // closes out
    e->print_def(&stream, names);
    stream.cr();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);  // adds the NUL
    SymbolTable* symbols = new SymbolTable();
    EcPrg* prg = new EcPrg(symbols);
    FILE* in = fmemopen(const_cast<char*>(kProgram), sizeof kProgram - 1, "r");
    if (!in || EcParseFile(prg, symbols, in) != 0) abort();  // the fixed program must load
    (void)fclose(in);  // a read-only memory stream: closing cannot lose data

    if (Exp* e = exp_parse(prg, text.c_str())) {
        if (prg->type(e) == nullptr) abort();  // a typed root keeps its type
        print_to_null(e, symbols);
    }
    Exp* again = exp_parse(prg, "if b then x + 1 else y * k");
    if (!again) abort();
    print_to_null(again, symbols);

    delete prg;
    delete symbols;
    return 0;
}
