// Whole-program checking: every fault of a program that a Lustre programmer
// must know of, each with where it stands. The reader notes what it passes
// over (quorl/source.h); the checker adds what only the whole program shows:
// equations missing, types and clocks that do not agree, variables that
// depend on themselves within one instant, variables never used.
#ifndef QUORL_CHECK_H
#define QUORL_CHECK_H

#include <cstddef>
#include <string>
#include <vector>

class EcPrg;

struct Diagnostic {
    bool error = true;      // else a warning
    unsigned pos = 0;       // where (quorl/source.h); 0 when built from Tcl
    const char* code = "";  // undeclared, redeclared, undefined, redefined, arity,
                            // type, clock, cycle, unused
    int subject = 0;        // the symbol concerned
    std::string message;    // one sentence in a Lustre programmer's terms
};

// Every diagnostic of the program, in source order (those without a
// position last, in the order found); warnings only when asked. With max_errors
// >= 0, the list stops after that many errors. Linear in the size of the
// program; no recursion per level or per variable.
std::vector<Diagnostic> check_program(EcPrg* prg, bool warnings, long max_errors);

// Parts of the check (check-clocks.cpp): the clocks that declarations name.
void check_declared_clocks(const EcPrg* prg, std::vector<Diagnostic>* out);
// Items joined by `separator', the middle of a long list elided: "a -> b ->
// ... (n more) -> y -> z".
std::string elided_chain(const std::vector<std::string>& items, const char* separator);

#endif
