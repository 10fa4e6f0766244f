// Types of a program.
#include "quorl/ectype.h"

#include "corvel/errors.h"

int EcType::member(int i) const {
    if (!_is_tuple) {
        ierror("EcType::member() called on non tuple type\n");
        return 0;
    }
    int v = 0;
    if (i < 1 || !_names || _names->extract(i - 1, &v) != 0) return 0;
    return v;
}

void EcType::set_enum(int n) { _enum_consts.assign(n > 0 ? (size_t)n : 0, nullptr); }

void EcType::add_enum_const(int i, IdentInfo* c) {
    if (i >= 0 && i < enum_count()) _enum_consts[(size_t)i] = c;
}

IdentInfo* EcType::enum_const(int i) const {
    if (_enum_consts.empty()) {
        ierror("EcType::enum_const(int) called on non enumerate type");
        return nullptr;
    }
    if (i < 0 || i >= enum_count()) return nullptr;
    return _enum_consts[(size_t)i];
}
