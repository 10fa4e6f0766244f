// The dependency graph of a program's equations.
#include "quorl/depgraph.h"

#include <algorithm>

#include "corvel/symbols.h"
#include "quorl/ecprg.h"

DepGraph::DepGraph(const EcPrg* prg) {
    _node_of.assign((size_t)prg->symbols()->count() + 1, 0);
    for (const IdList* list : {&prg->outputs(), &prg->locals()}) {
        for (IntList* l = list->list(); l; l = l->tail()) {
            int s = l->head();
            IdentInfo* info = prg->get_ident_info(s);
            if (!info || _node_of[(size_t)s]) continue;
            IdentMode m = info->ident_mode();
            if (m != OUTPUT_m && m != LOCAL_m) continue;
            _node_of[(size_t)s] = (int)_symbol.size() + 1;
            _symbol.push_back(s);
        }
    }
    _start.reserve(_symbol.size() + 1);
    _adj.reserve(_symbol.size() * 4);  // about what a generated program reads
}

bool DepGraph::read_tuple_head(const IdentInfo* info) {
    if (info->tuple_order() <= 1) return false;
    add_read(info->tuple_members()->head());
    return true;
}

void DepGraph::read_equations(const EcPrg* prg) {
    for (int s : _symbol) {
        IdentInfo* info = prg->get_ident_info(s);
        if (!read_tuple_head(info))
            for_each_read(info->right_side(), [this](int id, bool now) {
                if (now) add_read(id);
            });
        end_node();
    }
    finish();
}

// The symbols read become the nodes of those that have one; the others
// (inputs, constants) go. The lookups are independent of each other, which
// lets the processor overlap their cache misses.
void DepGraph::finish() {
    size_t out = 0;
    for (size_t v = 0; v + 1 < _start.size(); ++v) {
        size_t begin = (size_t)_start[v], end = (size_t)_start[v + 1];
        _start[v] = (int)out;
        for (size_t k = begin; k < end; ++k) {
            size_t s = (size_t)_adj[k];
            int node = s < _node_of.size() ? _node_of[s] : 0;
            if (node) _adj[out++] = node - 1;
        }
    }
    _start.back() = (int)out;
    _adj.resize(out);
}

DepGraph::Components DepGraph::components() const {
    size_t nodes = _symbol.size();
    Components comps;
    comps.of.assign(nodes, -1);
    comps.members.reserve(nodes);
    comps.start.reserve(nodes + 1);
    comps.start.push_back(0);
    // One place per node, so that following an edge touches one cache line:
    // its visit index and low link while it is on Tarjan's stack; once it
    // has a component, the low link is -1.
    struct Mark {
        int index = -1;
        int low = 0;
    };
    std::vector<Mark> mark(nodes);
    std::vector<int> tarjan, call, edge;
    int counter = 0;
    for (size_t root = 0; root < nodes; ++root) {
        if (mark[root].index >= 0) continue;
        call.push_back((int)root);
        edge.push_back(_start[root]);
        mark[root].index = mark[root].low = counter++;
        tarjan.push_back((int)root);
        while (!call.empty()) {
            int v = call.back();
            int& k = edge.back();
            if (k < _start[(size_t)v + 1]) {
                int wi = _adj[(size_t)k++];
                Mark& w = mark[(size_t)wi];
                if (w.index < 0) {
                    w.index = w.low = counter++;
                    tarjan.push_back(wi);
                    call.push_back(wi);
                    edge.push_back(_start[(size_t)wi]);
                } else if (w.low >= 0) {  // on the stack
                    mark[(size_t)v].low = std::min(mark[(size_t)v].low, w.index);
                }
                continue;
            }
            call.pop_back();
            edge.pop_back();
            Mark& m = mark[(size_t)v];
            if (!call.empty()) {
                Mark& parent = mark[(size_t)call.back()];
                parent.low = std::min(parent.low, m.low);
            }
            if (m.low != m.index) continue;
            // The component: its members are on top of Tarjan's stack.
            size_t from = tarjan.size() - 1;
            while (tarjan[from] != v) --from;
            int c = comps.count();
            bool cycle = tarjan.size() - from > 1;
            for (int e = _start[(size_t)v]; !cycle && e < _start[(size_t)v + 1]; ++e)
                cycle = _adj[(size_t)e] == v;
            for (size_t i = from; i < tarjan.size(); ++i) {
                int w = tarjan[i];
                mark[(size_t)w].low = -1;
                comps.of[(size_t)w] = c;
                comps.members.push_back(w);
            }
            comps.start.push_back((int)comps.members.size());
            tarjan.resize(from);
            if (cycle) comps.cycles.push_back(c);
        }
    }
    // Places within components, for the search of a chain: cycles only.
    if (!comps.cycles.empty()) comps.rank.assign(nodes, 0);
    for (int c : comps.cycles)
        for (int k = comps.start[(size_t)c]; k < comps.start[(size_t)c + 1]; ++k)
            comps.rank[(size_t)comps.members[(size_t)k]] = k - comps.start[(size_t)c];
    return comps;
}

// A breadth-first search from s within its component, up to the edge that
// comes back to s; its tables are as large as the component.
std::vector<int> DepGraph::cycle_chain(const Components& comps, int s) const {
    int c = comps.of[(size_t)s];
    size_t size = (size_t)(comps.start[(size_t)c + 1] - comps.start[(size_t)c]);
    std::vector<int> queue{s}, chain;
    std::vector<int> parent(size, -1);  // by rank: the queue entry it was reached from
    int back = -1;
    for (size_t q = 0; q < queue.size() && back < 0; ++q) {
        int v = queue[q];
        for (int k = _start[(size_t)v]; k < _start[(size_t)v + 1]; ++k) {
            int w = _adj[(size_t)k];
            if (comps.of[(size_t)w] != c) continue;
            if (w == s) {
                back = (int)q;
                break;
            }
            int& from = parent[(size_t)comps.rank[(size_t)w]];
            if (from < 0) {
                from = (int)q;
                queue.push_back(w);
            }
        }
    }
    for (int q = back; q > 0; q = parent[(size_t)comps.rank[(size_t)queue[(size_t)q]]])
        chain.push_back(queue[(size_t)q]);
    chain.push_back(s);
    std::reverse(chain.begin(), chain.end());
    chain.push_back(s);
    return chain;
}
