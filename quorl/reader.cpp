// Entry points of the ec reader.
#include "quorl/reader.h"

#include <utility>

#include "quorl/ecprg.h"
#include "quorl/lexer.h"

long FileSource::read(unsigned char* buf, size_t n) {
    size_t got = _f ? fread(buf, 1, n, _f) : 0;
    if (got == 0 && _f && ferror(_f)) return -1;
    return (long)got;
}

int EcParseFile(EcPrg* prg, SymbolTable* symbols, FILE* f, ReadFailure* failure) {
    FileSource source(f);
    return EcParseSource(prg, symbols, &source, failure);
}

int EcParseSource(EcPrg* prg, SymbolTable* symbols, ReadSource* source, ReadFailure* failure) {
    EcReader r(prg, symbols);
    r.lines = &prg->source();
    r.keep_positions = true;
    yylexInitFile(&r, START_PROGRAM, source);
    int status = ecprg_parse(&r);
    if (r.failure.interrupted) status = kParseInterrupted;
    // A lexical error after a whole program ends it early without failing
    // the load; check warns of the text left unread.
    if (status == 0 && !r.failure.lexical.empty())
        prg->source().note(NOTE_TRAILING, 0, r.failure.pos,
                           prg->source().keep_text(r.failure.unread));
    if (failure) *failure = std::move(r.failure);
    return status;
}

int EcExpParseString(EcPrg* prg, SymbolTable* symbols, const char* text, Exp** result,
                     ReadFailure* failure) {
    EcReader r(prg, symbols);
    yylexInitString(&r, START_EXPRESSION, text);
    *result = ecprg_parse(&r) == 0 ? r.ecexp : nullptr;
    if (failure) *failure = std::move(r.failure);
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
