// Clocks of expressions: the clock of the leftmost leaf, except that `when'
// resamples on its clock operand; constants are on the base clock.
#include <vector>

#include "corvel/errors.h"
#include "quorl/ecprg.h"

int EcPrg::clock(Exp* e) {
    if (!e) return -1;
    // Follow the first operands down to the node that decides the clock,
    // then store the answer into every node passed on the way.
    std::vector<Exp*> path;
    Exp* n = e;
    int result;
    for (;;) {
        if (n->clock() != -1) {
            result = n->clock();
            break;
        }
        if (n->nature() == CURRENT_n) {
            ierror("EcPrg::clock 'CURRENT_n' is not implemented");
            result = -1;
            break;
        }
        if (n->nature() == WHEN_n && n->arity() >= 2) {
            result = n->operand(1)->ident();
            if (result == 0) ierror("The clock operand of 'when' operator must be named");
            n->set_clock(result);
            break;
        }
        if (n->arity() >= 1) {
            path.push_back(n);
            n = n->operand(0);
            continue;
        }
        ierror("EcPrg::clock '%s' is not implemented", nodekey(n->nature()));
        result = -1;
        break;
    }
    for (size_t k = path.size(); k-- > 0;) path[k]->set_clock(result);
    return result;
}
