// The order of a step's equations.
#include "quorl/sim/schedule.h"

#include "quorl/depgraph.h"
#include "quorl/ecprg.h"

namespace {

// The clock of a variable other than the base clock, or 0.
int sampled_clock(const EcPrg* prg, int symbol) {
    IdentInfo* info = prg->get_ident_info(symbol);
    if (!info) return 0;
    IdentMode m = info->ident_mode();
    if (m != INPUT_m && m != OUTPUT_m && m != LOCAL_m) return 0;
    return info->clock() != prg->base_clock() && info->clock() > 0 ? info->clock() : 0;
}

}  // namespace

bool schedule(const EcPrg* prg, std::vector<int>* order, std::string* fault) {
    DepGraph graph(prg);
    for (int v = 0; v < graph.size(); ++v) {
        int symbol = graph.symbol(v);
        IdentInfo* info = prg->get_ident_info(symbol);
        if (int clock = sampled_clock(prg, symbol)) graph.add_read(clock);
        if (!graph.read_tuple_head(info)) {
            for_each_read(info->right_side(), [&](int id, bool now) {
                if (!now) return;
                graph.add_read(id);
                // An input exists when its clock ticks: that clock first (a
                // variable brings its own clock through its edges).
                IdentInfo* read = prg->get_ident_info(id);
                if (read && read->ident_mode() == INPUT_m)
                    for (int c = sampled_clock(prg, id); c; c = sampled_clock(prg, c))
                        graph.add_read(c);
            });
        }
        graph.end_node();
    }
    graph.finish();
    DepGraph::Components comps = graph.components();
    if (!comps.cycles.empty()) {
        int c = comps.cycles[0];
        int s = comps.members[(size_t)comps.start[(size_t)c]];
        std::string chain;
        for (int node : graph.cycle_chain(comps, s)) {
            if (!chain.empty()) chain += " -> ";
            chain += prg->symbol(graph.symbol(node));
        }
        *fault = "'" + std::string(prg->symbol(graph.symbol(s))) +
                 "' depends on itself through a clock within one instant: " + chain;
        return false;
    }
    order->clear();
    order->reserve(comps.members.size());
    for (int node : comps.members) order->push_back(graph.symbol(node));
    return true;
}
