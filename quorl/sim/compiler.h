// The compiler's state, shared by its two halves: the program (slots,
// clocks, the order of the code: compile.cpp) and expressions
// (compile_exp.cpp).
#ifndef QUORL_SIM_COMPILER_H
#define QUORL_SIM_COMPILER_H

#include <unordered_map>
#include <vector>

#include "quorl/depgraph.h"
#include "quorl/ecprg.h"
#include "quorl/sim/compile.h"

namespace sim {

// How long a value may be nil: 0 never; k in its clock's first k instants;
// kInf at any instant. A `pre' adds one, `->' takes the first instant away.
const uint8_t kInf = 255;
const uint8_t kCap = 8;  // beyond, a level is kInf
inline uint8_t later(uint8_t level) { return level >= kCap ? kInf : (uint8_t)(level + 1); }

// One value an expression gives: its slot, how long it may be nil, its kind.
struct Res {
    uint32_t slot;
    uint8_t level;
    Kind kind;
};

// The slots of a clock: whether it ticks in this instant, whether this is
// its first instant, whether it has not ticked yet (kept from step to step).
struct ClockSlots {
    uint32_t act = 0, fnow = 0, fstate = 0;
    int parent = 0;  // the clock of the clock variable (0 for the base clock)
};

// A memory of `pre' over an expression: computed after the equations.
struct Memory {
    Exp* operand;
    int clock;
    std::vector<uint32_t> slots;
    std::vector<Kind> kinds;
    int owner;  // the variable whose equation holds the `pre'
};

// What the compiler knows of a symbol (a variable, literal or constant).
const uint8_t kUnknownMode = 255;  // not looked up yet
const uint8_t kNoRecord = 254;     // no record in the program
struct Symbol {
    uint32_t slot = 0;    // a variable's slot, or a literal's or constant's once made
    int32_t var = -1;     // a variable's place in Code::vars
    int32_t clock = 0;    // a variable's clock, 0 for the base clock
    Kind kind = Kind::INT;
    uint8_t mode = kUnknownMode;  // IdentMode
    bool typed = false;
    bool compiled = false;  // a variable whose level is known (an input, or its equation done)
};

// A place in the code, to take back a speculative compile.
struct Mark {
    size_t ins, calls, lists, temps, res;
    unsigned unsafe;
};

// A node of an expression being compiled.
struct Frame {
    Exp* e;
    int clock;
    int stage;
    int dst;         // first of its targets in the pool, or -1 for temporaries
    uint32_t base;   // its operands' results start here
    int branch;      // its Branch (if, ->, current), or -1
    bool after_first;  // known to run after the first instant of its clock
};

// What an if, a -> or a current keeps while its operands are compiled.
struct Branch {
    Mark mark;  // before speculative branches
    uint32_t jnil, jf, jend;
    int count;  // values of an if or -> compiled with jumps
};

class Compiler {
public:
    Compiler(const EcPrg* prg, ValueCodec* codec, const CompileOptions& options,
             const Bound& bound, Code* code, CompileError* error)
        : _prg(prg), _codec(codec), _options(options), _bound(bound), _code(code), _error(error) {}

    bool program();
    bool instant(const Code& program, Exp* e, uint32_t* result, uint32_t* nslots);

private:
    // ---- slots and clocks (compile.cpp)
    uint32_t new_slot(Val init, bool nil);
    uint32_t temp();
    void release(uint32_t slot);
    bool literal_value(int symbol, Val* v, const SimType** type);
    Symbol& sym(int id);
    int var_index(int symbol) const;
    const std::vector<SimVar>& vars() const { return _vars ? *_vars : _code->vars; }
    ClockSlots& clock_slots(int clock);
    void clock_chain(int clock, std::vector<int>* chain);
    void emit_clock(int clock);
    bool fail(std::vector<std::string> code, std::string message);

    // ---- the program (compile.cpp)
    void forget_attempt();
    bool variables();
    bool equations(DepGraph* graph, std::vector<int>* order);
    bool equation(IdentInfo* info);
    void inputs_on(int clock);
    bool assertions();
    bool memories();
    void begin_part(int part);
    void own(int variable);
    void assemble();
    bool unit(Exp* e, int clock, const std::vector<uint32_t>& dsts, int owner,
              std::vector<Res>* out);
    bool assumptions_hold();

    // ---- expressions (compile_exp.cpp)
    bool expression(Exp* root, int clock, const std::vector<uint32_t>& dsts, std::vector<Res>* out);
    bool leaf(Exp* e, int clock, Res* r);
    bool instant_leaf(Exp* e, Res* r);
    bool pre(Exp* e, int clock, bool after_first, uint32_t first_dst, std::vector<Res>* out);
    bool hoist_currents(Exp* root);
    int clock_of(Exp* root);
    std::vector<Kind> shape_of(Exp* root);
    uint8_t level_of_var(int symbol);
    uint32_t emit(Op op, uint32_t d, uint32_t a = 0, uint32_t b = 0);
    Mark mark() const;
    void rollback(const Mark& m);

public:
    // ---- state the halves share
    const EcPrg* _prg;
    ValueCodec* _codec;
    CompileOptions _options;
    const Bound& _bound;
    Code* _code;
    CompileError* _error;
    bool _instant_only = false;  // an expression of one instant: no memories
    const std::vector<SimVar>* _vars = nullptr;  // the program's, for such an expression
    size_t _instant_slots = 0;                   // its temporaries, beyond the program's

    // The code of a step, in parts made apart, run in this order.
    enum Part {
        PART_FLAGS,      // the clocks' first-instant flags
        PART_INPUTS,     // the inputs on clocks other than the base clock
        PART_EQUATIONS,  // the equations
        PART_ASSERTIONS,
        PART_CLOCKS,     // every clock's activity at the end of the instant
        PART_MEMORIES,   // the memories of `pre'
        PART_STATES,     // the clocks' states for the next instant
        PART_COUNT
    };
    std::vector<Ins> _parts[PART_COUNT];
    std::vector<CodeOwner> _part_owners[PART_COUNT];
    CodeOwner _pending_owner{0, 0};  // see own()
    bool _owner_pending = false;
    int _part = 0;
    std::vector<Ins>* _out = nullptr;  // where instructions go: the current part
    std::vector<uint32_t> _temps;       // the pool of temporaries
    size_t _temp_next = 0;              // the next one free in the unit being compiled
    std::vector<Symbol> _syms;                          // by symbol
    std::unordered_map<int, std::vector<uint32_t>> _inputs_on;  // clock -> inputs on it
    DepGraph* _graph = nullptr;  // where the equations' reads go, while they are read
    bool _in_pre = false;        // a leaf read by `pre': not within the instant
    // Scratch of an equation and of an expression, kept from one to the next.
    std::vector<int> _members;
    std::vector<uint32_t> _dsts;
    std::vector<Res> _values;
    std::vector<Frame> _frames;
    std::vector<Branch> _branches;
    std::vector<Res> _res;
    std::vector<uint32_t> _pool;
    std::unordered_map<int, ClockSlots> _clocks;       // clock symbol -> slots
    std::vector<int> _clock_order;                      // clocks, each after its parent
    std::unordered_map<int, uint32_t> _var_memory;     // sub-clock variable -> memory of pre
    std::vector<std::pair<uint32_t, int>> _var_memories;  // (memory, variable) to save
    std::unordered_map<const Exp*, size_t> _memory_of;   // pre node -> index in _memories
    std::vector<Memory> _memories;
    std::unordered_map<const Exp*, std::vector<Res>> _current_of;  // hoisted `current's of a unit
    std::unordered_map<const Exp*, std::vector<uint32_t>> _current_memory;  // their memories
    std::unordered_map<const Exp*, int> _jump_form;  // if/-> compiled with jumps: component count
    std::unordered_map<const Exp*, int> _clock_memo;
    // Levels assumed before they were known (a variable read under `pre'
    // before its equation, the operand of a `pre'): checked at the end,
    // the whole compile done again with what was found when one was low.
    std::unordered_map<int, uint8_t> _assumed_vars;          // by symbol
    std::unordered_map<const Exp*, uint8_t> _assumed_exps;   // by operand of `pre'
    std::vector<std::pair<int, uint8_t>> _var_assumptions;   // symbol, level used
    std::vector<std::pair<const Exp*, uint8_t>> _exp_assumptions;
    std::unordered_map<const Exp*, uint8_t> _found;          // level of a `pre's operand
    unsigned _unsafe = 0;       // instructions emitted so far that may fail or call out
    int _conditional = 0;       // depth of branches compiled with jumps
    bool _need_hoist = false;   // a `current' met inside such a branch
    int _owner = 0;             // the variable of the unit being compiled
};

}  // namespace sim

#endif
