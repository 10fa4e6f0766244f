// The engine: small programs run on sequences of inputs, their outputs
// (or the step that fails, and why) worked out by hand.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "corvel/symbols.h"
#include "quorl/check.h"
#include "quorl/ecprg.h"
#include "quorl/reader.h"
#include "quorl/sim/engine.h"

namespace {

struct Running {
    SymbolTable symbols;
    EcPrg prg{&symbols};
    std::unique_ptr<Engine> engine;
    std::string error;

    // Loads and checks the program, then builds its engine.
    bool start(const std::string& text, const EngineOptions& options = EngineOptions()) {
        FILE* f = tmpfile();
        fwrite(text.data(), 1, text.size(), f);
        rewind(f);
        int status = EcParseFile(&prg, &symbols, f);
        EXPECT_EQ(fclose(f), 0);
        if (status != 0) {
            error = std::string("load: ") + prg.error_msg();
            return false;
        }
        for (const Diagnostic& d : check_program(&prg, false, -1)) {
            error = "check: " + d.message;
            return false;
        }
        CompileError e;
        engine = Engine::build(&prg, options, {}, {}, &e);
        if (!engine) error = "build: " + e.message;
        return engine != nullptr;
    }

    // One step: inputs "name=value ..."; the outputs and locals as
    // "name=value ..." (nil shown as "nil", absent ones left out), or
    // "! reason (variable)" when the step fails.
    std::string step(const std::string& inputs) {
        const Code& code = engine->code();
        StepInputs in;
        in.clear(code.inputs.size());
        std::istringstream words(inputs);
        for (std::string w; words >> w;) {
            size_t eq = w.find('=');
            int symbol = symbols.find("%s", w.substr(0, eq).c_str());
            for (size_t k = 0; k < code.inputs.size(); ++k) {
                const SimVar& v = code.vars[code.inputs[k]];
                if (v.symbol != symbol) continue;
                std::string why;
                EXPECT_TRUE(engine->codec().read(*v.type, w.substr(eq + 1).c_str(), &in.value[k], &why))
                    << w;
                in.given[k] = 1;
            }
        }
        StepFailure failure;
        if (!engine->step(in, &failure))
            return "! " + failure.reason +
                   (failure.variable ? std::string(" (") + symbols[failure.variable] + ")" : "");
        std::string out;
        for (size_t k = (size_t)prg.nb_inputs(); k < code.vars.size(); ++k) {
            Val v{};
            int state = engine->value((uint32_t)k, &v);
            if (state == ABSENT) continue;
            if (!out.empty()) out += ' ';
            out += std::string(symbols[code.vars[k].symbol]) + "=" +
                   (state == NIL ? "nil" : engine->codec().write(*code.vars[k].type, v));
        }
        return out;
    }
};

// A program, then for each step its inputs and what it gives.
struct Case {
    const char* what;
    const char* program;
    std::vector<std::pair<const char*, const char*>> steps;
};

void run_cases(const std::vector<Case>& cases, const EngineOptions& options = EngineOptions()) {
    for (const Case& c : cases) {
        Running r;
        ASSERT_TRUE(r.start(c.program, options)) << c.what << ": " << r.error;
        for (size_t k = 0; k < c.steps.size(); ++k)
            EXPECT_EQ(r.step(c.steps[k].first), c.steps[k].second)
                << c.what << ", step " << k + 1 << ": " << c.steps[k].first;
    }
}

TEST(Engine, OperatorsAndRules) {
    run_cases({
        {"counter",
         "node counter(incr : bool; reset : bool) returns (count : int);\n"
         "var previous : int;\nlet previous = 0 -> pre count;\n"
         "count = if reset then 0 else if incr then previous + 1 else previous;\ntel\n",
         {{"incr=1 reset=0", "count=1 previous=0"},
          {"", "count=2 previous=1"},
          {"incr=false", "count=2 previous=2"},
          {"reset=true", "count=0 previous=2"}}},
        {"div and mod truncate toward zero; INT_MIN div -1 fails, INT_MIN mod -1 is 0",
         "node n(a, b : int) returns (q, r : int);\nlet q = a div b; r = a mod b;\ntel\n",
         {{"a=-7 b=2", "q=-3 r=-1"},
          {"a=7 b=-2", "q=-3 r=1"},
          {"a=-2147483648 b=-1", "! integer overflow (q)"},
          {"a=5 b=0", "! division by zero (q)"}}},
        {"INT_MIN mod -1",
         "node n(a, b : int) returns (r : int);\nlet r = a mod b;\ntel\n",
         {{"a=-2147483648 b=-1", "r=0"}, {"a=3 b=0", "! division by zero (r)"}}},
        {"pre is nil at the first instant, and nil goes through operators",
         "node n(x : int) returns (y, z : int);\nlet y = pre x; z = pre x + 1;\ntel\n",
         {{"x=5", "y=nil z=nil"}, {"x=7", "y=5 z=6"}}},
        {"an if with a nil condition is nil; if reads only the branch it takes",
         "node n(b : bool; x : int) returns (y, z : int);\n"
         "let y = if pre b then 1 else 2; z = if x <> 0 then 10 div x else 0;\ntel\n",
         {{"b=1 x=0", "y=nil z=0"}, {"x=5", "y=1 z=2"}}},
        {"-> reads only the side it takes",
         "node n(x : int) returns (y : int);\nlet y = 0 -> 10 div x;\ntel\n",
         {{"x=0", "y=0"}, {"x=5", "y=2"}, {"x=0", "! division by zero (y)"}}},
        {"a failed step leaves the memories as they were",
         "node n(x : int) returns (c, y : int);\nlet c = 0 -> pre c + 1; y = 10 div x;\ntel\n",
         {{"x=1", "c=0 y=10"}, {"x=0", "! division by zero (y)"}, {"x=2", "c=1 y=5"}}},
        {"clocks: when, current (nil before the first tick), absent values",
         "node n(c : bool; x : int) returns (y, z : int);\nvar (w : int) when c;\n"
         "let w = x when c; y = current w; z = current (x when c) + 1;\ntel\n",
         {{"c=0 x=1", "y=nil z=nil"}, {"c=1 x=2", "y=2 z=3 w=2"}, {"c=0 x=3", "y=2 z=3"}}},
        {"-> and pre on a sub-clock count its ticks",
         "node n(c : bool) returns (y : int);\nvar (k : int) when c;\n"
         "let k = 0 -> pre k + 1; y = current k;\ntel\n",
         {{"c=0", "y=nil"}, {"c=1", "y=0 k=0"}, {"c=0", "y=0"}, {"c=1", "y=1 k=1"}}},
        {"# is at most one, nor is none",
         "node n(p, q, r : bool) returns (a, b : bool);\nlet a = #(p, q, r); b = nor(p, q);\ntel\n",
         {{"p=0 q=0 r=0", "a=1 b=1"}, {"p=1", "a=1 b=0"}, {"q=1", "a=0 b=0"}}},
        {"reals: IEEE division, int() truncates and fails on NaN, ** on ints and reals",
         "node n(x : real; i : int) returns (d : real; t : int; p : int; q : real);\n"
         "let d = x / 0.0; t = int x; p = 2 ** i; q = 2.0 ** real i;\ntel\n",
         {{"x=-2.7 i=10", "d=-Inf t=-2 p=1024 q=1024.0"},
          {"x=3e9 i=1", "! int of a real beyond 32 bits (t)"},
          {"x=0.5 i=-1", "! negative exponent of an int (p)"},
          {"x=NaN i=0", "! int of NaN (t)"}}},
        {"enumerations and tuples",
         "type color = (red, green, blue);\n"
         "node n(b : bool; x : int) returns (y : color; e : bool; a, c : int);\n"
         "let y = if b then green else red; e = y = green;\n"
         "(a, c) = if b then (x, 1) else pre (c, a);\ntel\n",
         {{"b=1 x=4", "y=green e=1 a=4 c=1"}, {"b=0 x=5", "y=red e=0 a=1 c=4"}}},
        {"an input needs a value at its first instant",
         "node n(x, z : int) returns (y : int);\nlet y = x + z;\ntel\n",
         {{"x=1", "! input 'z' has no value (z)"}, {"x=1 z=2", "y=3"}, {"z=5", "y=6"}}},
        {"an input on a clock is read where its clock ticks",
         "node n(c : bool; (x : int) when c) returns (y : int);\n"
         "let y = current x;\ntel\n",
         {{"c=0 x=9", "y=nil"}, {"c=1", "! input 'x' has no value (x)"}, {"c=1 x=4", "y=4"},
          {"c=0 x=7", "y=4"}, {"c=1", "y=4"}}},
    });
}

// Integers wrap unless the run makes overflow an error; assertions fail
// the step, are noted, or are skipped.
TEST(Engine, OverflowAndAssertionModes) {
    const char* add = "node n(x : int) returns (y : int);\nlet y = x + 1; assert x <> 3;\ntel\n";
    EngineOptions wrap, strict, warn, ignore;
    strict.compile.overflow_error = true;
    warn.compile.assertions = AssertMode::WARN;
    ignore.compile.assertions = AssertMode::IGNORE;
    run_cases({{"wrap", add, {{"x=2147483647", "y=-2147483648"}, {"x=3", "! assertion 0 is false"}}}},
              wrap);
    run_cases({{"error", add, {{"x=2147483647", "! integer overflow (y)"}, {"x=1", "y=2"}}}}, strict);
    run_cases({{"ignore", add, {{"x=3", "y=4"}}}}, ignore);
    Running r;
    ASSERT_TRUE(r.start(add, warn)) << r.error;
    EXPECT_EQ(r.step("x=1"), "y=2");
    EXPECT_EQ(r.step("x=3"), "y=4");
    EXPECT_EQ(r.step("x=4"), "y=5");
    ASSERT_EQ(r.engine->violations().size(), 1u);
    EXPECT_EQ(r.engine->violations()[0], std::make_pair(uint64_t{2}, 0u));
}

}  // namespace

// ------------------------------------------------------------------ native code

// Random programs: every operator the engine knows, on ints, reals and
// bools, with pre, ->, a clock, current and runtime errors, run by the
// machine code and by the run loop: every value of every step the same,
// and the same failures.
struct RandomProgram {
    std::mt19937 rng;
    std::vector<std::pair<std::string, char>> known;  // name, type (i, r, b) read within the instant
    std::vector<std::pair<std::string, char>> all;    // every variable, for pre

    explicit RandomProgram(unsigned seed) : rng(seed) {}
    int below(int n) { return (int)(rng() % (unsigned)n); }
    std::string var(char t, bool delayed) {
        std::vector<std::string> names;
        for (const auto& v : delayed ? all : known)
            if (v.second == t) names.push_back(v.first);
        return names[(size_t)below((int)names.size())];
    }
    // NOLINTNEXTLINE(misc-no-recursion): three levels deep at most
    std::string exp(char t, int depth) {
        if (depth == 0 || below(4) == 0) {
            switch (below(4)) {
                case 3: return "(pre " + var(t, true) + ")";  // nil at the first step
                case 0: return t == 'i' ? std::to_string(below(21) - 10) : t == 'r' ? "1.5" : "true";
                case 1: {
                    const char* first = t == 'i' ? "0" : t == 'r' ? "0.0" : "false";
                    return std::string("(") + first + " -> pre " + var(t, true) + ")";
                }
                default: return var(t, false);
            }
        }
        std::string a = exp(t, depth - 1), b = exp(t, depth - 1);
        auto pick = [&](std::initializer_list<const char*> ops) {
            return std::string(*(ops.begin() + below((int)ops.size())));
        };
        switch (t) {
            case 'i':
                switch (below(6)) {
                    case 0: return "(" + a + pick({" + ", " - ", " * "}) + b + ")";
                    case 1: return "(" + a + pick({" div ", " mod "}) + b + ")";
                    case 2: return "(if " + exp('b', depth - 1) + " then " + a + " else " + b + ")";
                    case 3: return "(" + a + " -> pre " + b + ")";
                    case 4: return "(- " + a + ")";
                    default: return "(int " + exp('r', depth - 1) + ")";
                }
            case 'r':
                switch (below(5)) {
                    case 0: return "(" + a + pick({" + ", " - ", " * ", " / "}) + b + ")";
                    case 1: return "(if " + exp('b', depth - 1) + " then " + a + " else " + b + ")";
                    case 2: return "(" + a + " -> pre " + b + ")";
                    case 3: return "(real " + exp('i', depth - 1) + ")";
                    default: return "(- " + a + ")";
                }
            default: {
                std::string i1 = exp('i', depth - 1), i2 = exp('i', depth - 1);
                switch (below(7)) {
                    case 0: return "(" + a + pick({" and ", " or ", " xor ", " => "}) + b + ")";
                    case 1: return "(not " + a + ")";
                    case 2: return "(" + i1 + pick({" < ", " <= ", " > ", " >= ", " = ", " <> "}) + i2 + ")";
                    case 3: return "(" + exp('r', depth - 1) + pick({" < ", " = ", " >= "}) + exp('r', depth - 1) + ")";
                    case 4: return "#(" + a + ", " + b + ", " + exp('b', depth - 1) + ")";
                    case 5: return "nor(" + a + ", " + b + ")";
                    default: return "(" + a + " -> pre " + b + ")";
                }
            }
        }
    }
    std::string text(int n) {
        known = {{"i", 'i'}, {"j", 'i'}, {"x", 'r'}, {"b", 'b'}, {"c", 'b'}};
        all = known;
        std::vector<std::string> types;
        for (int k = 0; k < n; ++k) {
            char t = "irb"[below(3)];
            all.emplace_back("v" + std::to_string(k), t);
            types.push_back(t == 'i' ? "int" : t == 'r' ? "real" : "bool");
        }
        std::string eqs;
        for (int k = 0; k < n; ++k) {
            char t = all[(size_t)k + 5].second;
            eqs += "v" + std::to_string(k) + " = " + exp(t, 3) + ";\n";
            known.push_back(all[(size_t)k + 5]);
        }
        std::string decl;
        for (int k = 0; k < n; ++k) decl += "v" + std::to_string(k) + " : " + types[(size_t)k] + ";\n";
        // A clock, and pre of values that may be nil on it.
        return "node r(i, j : int; x : real; b, c : bool) returns (o, o2 : int);\n"
               "var (w, u, t : int) when c;\n" +
               decl + "let\nw = i when c;\no = current w;\nu = pre w;\nt = pre u;\no2 = current t;\n" +
               eqs + "tel\n";
    }
};

TEST(Engine, NativeCodeRunsAsTheRunLoop) {
    int compared = 0;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        RandomProgram gen(seed);
        std::string text = gen.text(12);
        EngineOptions native, loop;
        loop.native = false;
        Running a, b;
        ASSERT_TRUE(a.start(text, native)) << a.error << "\n" << text;
        ASSERT_TRUE(b.start(text, loop)) << b.error;
        std::mt19937 inputs(seed);
        for (int step = 1; step <= 30; ++step) {
            std::string in = "i=" + std::to_string((int)(inputs() % 41) - 20) +
                             " j=" + std::to_string((int)(inputs() % 7) - 3) + " x=" +
                             std::to_string((int)(inputs() % 9) - 4) + ".25 b=" +
                             std::to_string(inputs() % 2) + " c=" + std::to_string(inputs() % 2);
            std::string ra = a.step(in), rb = b.step(in);
            ASSERT_EQ(ra, rb) << "seed " << seed << ", step " << step << "\n" << text;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 40 * 30);
}
