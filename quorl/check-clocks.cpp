// check: the clocks of declarations. A variable declared "(x : t) when c"
// runs on c, which must be a boolean input, output or local on a faster
// clock than x: following the clocks from c on must reach the base clock
// without coming back to x. The clocks form a graph in which each variable
// has at most one successor, walked once in all, without recursion.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "corvel/symbols.h"
#include "quorl/check.h"
#include "quorl/ecprg.h"
#include "quorl/typing.h"

namespace {

class ClockChecker {
public:
    ClockChecker(const EcPrg* prg, std::vector<Diagnostic>* out) : _prg(prg), _out(out) {}
    void run();

private:
    std::string quoted(int id) const { return "'" + std::string(_prg->symbol(id)) + "'"; }
    // The input, output or local a name stands for, or null.
    const IdentInfo* variable(int id) const {
        const IdentInfo* info = _prg->get_ident_info(id);
        if (!info) return nullptr;
        IdentMode m = info->ident_mode();
        return m == INPUT_m || m == OUTPUT_m || m == LOCAL_m ? info : nullptr;
    }
    // The variable whose clock v runs on, or 0 on the base clock.
    int clock_of(int v) const {
        const IdentInfo* info = variable(v);
        int c = info ? info->clock() : 0;
        return c > 0 && c != _prg->base_clock() && variable(c) ? c : 0;
    }
    void declaration(const ReadNote& n);
    void cycle_from(int v);

    const EcPrg* _prg;
    std::vector<Diagnostic>* _out;
    std::unordered_map<int, const ReadNote*> _first;  // a variable's first clocked declaration
    std::unordered_map<int, char> _state;            // walked: 1 on the path, 2 done
};

// The clock a declaration names must be a boolean variable.
void ClockChecker::declaration(const ReadNote& n) {
    const IdentInfo* clock = variable(n.other);
    std::string head = "the clock of " + quoted(n.subject) + ", " + quoted(n.other) + ", is ";
    if (!clock)
        _out->push_back(Diagnostic{true, n.pos, "clock", n.other, head + "not a variable"});
    else if (clock->type() && clock->type() != _prg->bool_type())
        _out->push_back(Diagnostic{true, n.pos, "clock", n.other,
                                   head + type_text(_prg, clock->type()) + ", not bool"});
}

// Follows the clocks from v; a walk that comes back onto itself is a
// cycle, reported once, at the member declared first.
void ClockChecker::cycle_from(int v) {
    std::vector<int> path;
    int u = v;
    while (u && !_state[u]) {
        _state[u] = 1;
        path.push_back(u);
        u = clock_of(u);
    }
    if (u && _state[u] == 1) {
        size_t from = 0;
        while (path[from] != u) ++from;
        std::vector<int> cycle(path.begin() + (long)from, path.end());
        size_t first = 0;
        for (size_t k = 1; k < cycle.size(); ++k)
            if (_first[cycle[k]]->pos < _first[cycle[first]]->pos) first = k;
        std::rotate(cycle.begin(), cycle.begin() + (long)first, cycle.end());
        std::vector<std::string> links;
        for (size_t k = 0; k < cycle.size(); ++k)
            links.push_back(std::string(_prg->symbol(cycle[k])) + " when " +
                            _prg->symbol(cycle[(k + 1) % cycle.size()]));
        const ReadNote* at = _first[cycle[0]];
        _out->push_back(Diagnostic{true, at->pos, "clock", at->other,
                                   "the clock of " + quoted(cycle[0]) +
                                       " is not on a faster clock than " + quoted(cycle[0]) +
                                       ": " + elided_chain(links, ", ")});
    }
    for (int w : path) _state[w] = 2;
}

void ClockChecker::run() {
    const std::vector<ReadNote>& notes = _prg->source().notes();
    for (const ReadNote& n : notes) {
        if (n.kind != NOTE_CLOCKED) continue;
        declaration(n);
        _first.emplace(n.subject, &n);
    }
    for (const ReadNote& n : notes)
        if (n.kind == NOTE_CLOCKED && _first[n.subject] == &n) cycle_from(n.subject);
}

}  // namespace

void check_declared_clocks(const EcPrg* prg, std::vector<Diagnostic>* out) {
    ClockChecker(prg, out).run();
}
