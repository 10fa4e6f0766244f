// The order in which a step computes a program's outputs and locals: the
// program's dependency graph (quorl/depgraph.h) with the edges that clocks
// add, in an order of evaluation.
#ifndef QUORL_SIM_SCHEDULE_H
#define QUORL_SIM_SCHEDULE_H

#include <string>
#include <vector>

class EcPrg;

// The symbols of the outputs and locals, each after every one it reads
// within the instant, after its clock, and after the clock of every input it
// reads; false and the fault's wording when that order does not exist (the
// graph's cycles are check's business: what is left is a variable that
// depends on its own clock).
bool schedule(const EcPrg* prg, std::vector<int>* order, std::string* fault);

#endif
