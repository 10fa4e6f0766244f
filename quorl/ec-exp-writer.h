// Expressions in ec syntax with the fewest parentheses: only where the
// grammar's precedence and associativity (quorl/ecprg.y) need them, so that
// the text reads back to the same tree and nests no deeper than the tree
// itself (a flat sum of a million terms is written without any). The ec
// text of a program writes its expressions so (quorl/ecprg-ectext.cpp);
// the Lustre dump keeps its own form, every operand in parentheses.
#ifndef QUORL_EC_EXP_WRITER_H
#define QUORL_EC_EXP_WRITER_H

#include <string>

class EcPrg;
class Exp;
class PtyStream;

// Writes e on out, each token one piece for the stream's wrapping. Depth
// costs heap memory, never call depth.
void write_ec_expression(PtyStream* out, const EcPrg* prg, const Exp* e);

// The same text, on one line.
std::string ec_expression_text(const EcPrg* prg, const Exp* e);

#endif
