// Shared helpers of the program-model tests: a program on its own symbol
// table, name interning, and capture of printed text.
#ifndef TESTS_MODEL_FIXTURE_H
#define TESTS_MODEL_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "corvel/intlist.h"
#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"

class ModelTest : public ::testing::Test {
public:
    ~ModelTest() override { delete prg; }

protected:
    ModelTest() : prg(new EcPrg(&symbols)) {}

    int id(const char* name) { return symbols.add("%s", name); }
    Exp* ref(const char* name)
    {
        IdentInfo* info = prg->get_ident_info(id(name));
        return info ? info->ec_ref() : nullptr;
    }
    Exp* lit(const char* text) { return prg->get_int_const(id(text)); }

    // A fresh list of identifiers (caller owns it).
    IntList* ids(std::initializer_list<const char*> names)
    {
        IntList* l = nullptr;
        for (const char* n : names) append_list(l, id(n));
        return l;
    }
    static std::vector<int> values(IntList* l)
    {
        std::vector<int> v;
        for (; l; l = l->tail()) v.push_back(l->head());
        return v;
    }
    static std::vector<int> lengths(IntList* l)
    {
        std::vector<int> v;
        for (; l; l = l->tail()) v.push_back(l->length());
        return v;
    }
    static void free_list(IntList* l)
    {
        while (l) {
            IntList* n = l->tail();
            delete l;
            l = n;
        }
    }

    // Runs f on a stream of the given width over a temporary file and
    // returns everything written.
    template <class F>
    static std::string printed(F f, int width = 80)
    {
        FILE* file = tmpfile();
        std::string text;
        {
            PtyStream out(file, width);
            f(&out);
            out.flush();
            fflush(file);
            rewind(file);
            int c;
            while ((c = fgetc(file)) != EOF) text.push_back(static_cast<char>(c));
        }
        return text;
    }
    std::string def_text(Exp* e)
    {
        return printed([&](PtyStream* out) { e->print_def(out, &symbols); });
    }
    std::string exp_text(Exp* e)
    {
        return printed([&](PtyStream* out) { e->print(out, &symbols); });
    }

    SymbolTable symbols;
    EcPrg* prg;
};

#endif
