// The order of a step's equations.
#include "quorl/sim/schedule.h"

#include "quorl/depgraph.h"
#include "quorl/ecprg.h"

bool evaluation_order(const EcPrg* prg, const DepGraph& graph, std::vector<int>* order,
                      std::string* fault) {
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
    *order = std::move(comps.members);
    return true;
}
