// The expression factory: every node of a program is made here, in the
// program's expression heap, and a failed expression parse takes back what
// it made with rollback().
#include "quorl/ecprg.h"

Exp* EcPrg::get_exp(ExpNature n, Exp* a) { return a ? make_exp(n, a) : nullptr; }

Exp* EcPrg::get_exp(ExpNature n, Exp* a, Exp* b) { return a && b ? make_exp(n, a, b) : nullptr; }

Exp* EcPrg::get_exp(ExpNature n, Exp* a, Exp* b, Exp* c) {
    return a && b && c ? make_exp(n, a, b, c) : nullptr;
}

Exp* EcPrg::get_exp(ExpNature n, Exp* a, int k) { return a ? make_exp(n, a, k) : nullptr; }

Exp* EcPrg::get_exp(ExpNature n, int count, Exp** ops) {
    if (count < 1 || !ops) return nullptr;
    if (count > Exp::kMaxArity) {
        error("more than %d operands in one expression", Exp::kMaxArity);
        return nullptr;
    }
    for (int i = 0; i < count; i++)
        if (!ops[i]) return nullptr;
    return make_exp(n, count, ops);
}

void EcPrg::rollback(const EcPrgMark& m) {
    while (_exps.size() > m.exps) _exps.pop_back();
    while (_records.size() > m.infos) {
        _index.set(_records.at(_records.size() - 1)->symbol(), nullptr);
        _records.pop_back();
    }
}
