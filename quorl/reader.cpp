// Entry points of the ec reader.
#include "quorl/reader.h"

#include "quorl/ecprg.h"
#include "quorl/lexer.h"

int EcParseFile(EcPrg* prg, SymbolTable* symbols, FILE* f) {
    EcReader r(prg, symbols);
    yylexInitFile(&r, START_PROGRAM, f);
    return ecprg_parse(&r);
}

int EcExpParseString(EcPrg* prg, SymbolTable* symbols, const char* text, Exp** result) {
    EcReader r(prg, symbols);
    yylexInitString(&r, START_EXPRESSION, text);
    *result = ecprg_parse(&r) == 0 ? r.ecexp : nullptr;
    return *result ? 0 : 1;
}

Exp* exp_parse(EcPrg* prg, const char* text) {
    EcPrgMark m = prg->mark();
    Exp* root = nullptr;
    if (EcExpParseString(prg, prg->symbols(), text, &root) == 0 && prg->type(root) != nullptr)
        return root;
    prg->rollback(m);
    return nullptr;
}
