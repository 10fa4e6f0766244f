// Shared helpers of the reader tests: a program on its own symbol table,
// loading text through a temporary file, and printing expressions.
#ifndef TESTS_READER_HELPERS_H
#define TESTS_READER_HELPERS_H

#include <cstdio>
#include <cstdlib>
#include <string>

#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/reader.h"

struct TestProgram {
    SymbolTable* symbols = new SymbolTable();
    EcPrg* prg = new EcPrg(symbols);
    ~TestProgram() {
        delete prg;
        delete symbols;
    }
    TestProgram() = default;
    TestProgram(const TestProgram&) = delete;
    TestProgram& operator=(const TestProgram&) = delete;

    // Whole-program parse of text; result of EcParseFile.
    int load(const std::string& text) {
        FILE* f = tmpfile();
        if (!f) abort();
        fwrite(text.data(), 1, text.size(), f);
        rewind(f);
        int status = EcParseFile(prg, symbols, f);
        (void)fclose(f);  // a scratch file already read: closing cannot lose data
        return status;
    }
    // One-expression parse (no typing); null on failure.
    Exp* exp(const std::string& text) {
        Exp* e = nullptr;
        EcExpParseString(prg, symbols, text.c_str(), &e);
        return e;
    }
    int id(const char* name) { return symbols->find("%s", name); }
    std::string error() const { return prg->error_msg(); }
};

// The printed definition of e (its own form, not a name).
inline std::string printed(Exp* e, SymbolTable* names) {
    char* text = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&text, &len);
    if (!f) abort();
    {
        PtyStream out(f, 1 << 20);
        e->print_def(&out, names);
    }  // the stream closes f
    std::string s(text ? text : "", len);
    free(text);
    return s;
}

#endif
