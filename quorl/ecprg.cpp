// The program: construction, identity and the last-error text.
#include "quorl/ecprg.h"

#include <cstdarg>
#include <cstdio>

#include "corvel/symbols.h"

// The predefined types and constants take the identifiers 1 to 7 of a fresh
// table: bool, int, real, true (also the base clock), false, bottom, nil.
EcPrg::EcPrg(SymbolTable* symbols) : _symbols(symbols) {
    _bool_type = define_named_type(_symbols->add("%s", "bool"));
    _int_type = define_named_type(_symbols->add("%s", "int"));
    _real_type = define_named_type(_symbols->add("%s", "real"));
    _base_clock = _symbols->add("%s", "true");
    for (const char* constant : {"true", "false", "bottom", "nil"})
        get_bool_const(_symbols->add("%s", constant));
}

const char* EcPrg::symbol(int id) const { return (*_symbols)[id]; }

void EcPrg::error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (vsnprintf(_error, sizeof _error, format, args) < 0) _error[0] = '\0';
    va_end(args);
    _error_code.clear();
}
