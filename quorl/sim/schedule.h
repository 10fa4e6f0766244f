// The order in which a step computes a program's outputs and locals: the
// dependency graph of what their equations read within the instant (with
// the clocks each needs first), in an order of evaluation.
#ifndef QUORL_SIM_SCHEDULE_H
#define QUORL_SIM_SCHEDULE_H

#include <string>
#include <vector>

class DepGraph;
class EcPrg;

// The graph's nodes, each after every one it reads; false and the fault's
// wording when there is no such order (the graph's cycles are check's
// business: what is left is a variable that depends on its own clock).
bool evaluation_order(const EcPrg* prg, const DepGraph& graph, std::vector<int>* order,
                      std::string* fault);

#endif
