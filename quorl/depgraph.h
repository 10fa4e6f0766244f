// The dependency graph of a program's equations: which names an equation
// reads, and which within the instant; one node per output and local, an
// edge from a variable to each one its equation reads within the instant;
// its strongly connected components in an order of evaluation, and the
// chain of a cycle. Used by check (causality), by the queries deps and uses,
// and by the engine's schedule.
#ifndef QUORL_DEPGRAPH_H
#define QUORL_DEPGRAPH_H

#include <vector>

#include "quorl/exp.h"

class EcPrg;
class IdentInfo;

// Whether a node of this kind reads its operands at an earlier instant: the
// names read under it are not read within the instant.
inline bool delays_reads(ExpNature n) { return n == PRE_n; }

// Calls fn(ident, within_instant) for every leaf of e that names something,
// left to right, once per occurrence. Iterative: depth costs no call depth.
template <class Fn>
void for_each_read(Exp* e, Fn fn) {
    struct Item {
        Exp* e;
        bool delayed;
    };
    std::vector<Item> stack{{e, false}};
    while (!stack.empty()) {
        Item it = stack.back();
        stack.pop_back();
        if (!it.e) continue;
        if (it.e->arity() == 0) {
            if (it.e->ident()) fn(it.e->ident(), !it.delayed);
            continue;
        }
        bool delayed = it.delayed || delays_reads(it.e->nature());
        for (int i = it.e->arity(); i-- > 0;) stack.push_back(Item{it.e->operand(i), delayed});
    }
}

class DepGraph {
public:
    // The nodes: the outputs and locals of prg in declaration order, outputs
    // first; a name declared twice is one node, one whose last declaration
    // is an input none. No edges yet.
    explicit DepGraph(const EcPrg* prg);

    int size() const { return (int)_symbol.size(); }
    int symbol(int node) const { return _symbol[(size_t)node]; }
    // The node of a symbol, or -1.
    int node_of(int symbol) const {
        return symbol > 0 && (size_t)symbol < _node_of.size() ? _node_of[(size_t)symbol] - 1 : -1;
    }

    // Edges are given node after node, in node order: the symbols the node's
    // equation reads within the instant (any symbol: those that are no node
    // go), then end_node(); finish() once every node is ended.
    void add_read(int symbol) { _adj.push_back(symbol); }
    void end_node() { _start.push_back((int)_adj.size()); }
    void finish();
    // The tuple rule: the members of a tuple equation but the first read the
    // first, which reads what the right side reads. True, and the edge added,
    // when info is such a member: its equation is then read no further.
    bool read_tuple_head(const IdentInfo* info);
    // Or the edges all at once, from every equation.
    void read_equations(const EcPrg* prg);

    // The nodes that node v reads within the instant.
    const int* edges_begin(int v) const { return _adj.data() + _start[(size_t)v]; }
    const int* edges_end(int v) const { return _adj.data() + _start[(size_t)v + 1]; }

    // The strongly connected components (Tarjan's algorithm, without
    // recursion), each after every component it reads: an evaluation order.
    struct Components {
        std::vector<int> of;       // component of each node
        std::vector<int> members;  // the nodes, component after component
        std::vector<int> rank;     // a cycle member's place among its component's (cycles only)
        std::vector<int> start;    // c's members: members[start[c] .. start[c + 1])
        std::vector<int> cycles;   // the components that are cycles, in order
        int count() const { return (int)start.size() - 1; }
    };
    // A component is a cycle when it has several members, or one that
    // reads itself.
    Components components() const;
    // A shortest chain of reads from node s back to itself within its
    // component: s, ..., s.
    std::vector<int> cycle_chain(const Components& comps, int s) const;

private:
    std::vector<int> _symbol;     // by node
    std::vector<int> _node_of;    // by symbol: node + 1, 0 for none
    std::vector<int> _start{0};   // node v's edges are _adj[_start[v] .. _start[v + 1])
    std::vector<int> _adj;
};

#endif
