// Interning and lookup in SymbolTable, and formatted output through PtyStream.
#include "corvel/pty.h"
#include "corvel/symbols.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

static std::vector<std::string> make_names(int n) {
    std::vector<std::string> names;
    names.reserve(n);
    for (int k = 0; k < n; ++k) names.push_back("var_" + std::to_string(k) + "_x");
    return names;
}

static void BM_Intern(benchmark::State& state) {
    auto names = make_names((int)state.range(0));
    for (auto _ : state) {
        SymbolTable st;
        for (auto& n : names) benchmark::DoNotOptimize(st.add("%s", n.c_str()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Intern)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

static void BM_InternFormatted(benchmark::State& state) {
    int n = (int)state.range(0);
    for (auto _ : state) {
        SymbolTable st;
        for (int k = 0; k < n; ++k) benchmark::DoNotOptimize(st.add("var_%d_x", k));
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_InternFormatted)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

static void BM_Find(benchmark::State& state) {
    auto names = make_names((int)state.range(0));
    SymbolTable st;
    for (auto& n : names) st.add("%s", n.c_str());
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(st.find("%s", names[k].c_str()));
        if (++k == names.size()) k = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Find)->Arg(10000)->Arg(100000)->Arg(1000000);

static void BM_FindAbsent(benchmark::State& state) {
    auto names = make_names((int)state.range(0));
    SymbolTable st;
    for (auto& n : names) st.add("%s", n.c_str());
    int k = 0;
    for (auto _ : state) benchmark::DoNotOptimize(st.find("absent_%d", k++));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindAbsent)->Arg(10000)->Arg(1000000);

static void BM_NameByIdentifier(benchmark::State& state) {
    int n = (int)state.range(0);
    SymbolTable st;
    for (int k = 0; k < n; ++k) st.add("v%d", k);
    int id = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(st[id]);
        id = id == n ? 1 : id + 1;
    }
}
BENCHMARK(BM_NameByIdentifier)->Arg(1000000);

// One equation-like line: several small pieces, a newline every few calls.
static void BM_PtyPut(benchmark::State& state) {
    FILE* f = fopen("/dev/null", "w");
    PtyStream out(f, 80, nullptr);
    out.tab();
    long pieces = 0;
    for (auto _ : state) {
        out.put("%s", "some_variable");
        out.put(" = ");
        out.put("%s(%s, %d)", "f", "x", 42);
        out.put(";\n");
        pieces += 4;
    }
    state.SetItemsProcessed(pieces);
}
BENCHMARK(BM_PtyPut);

static void BM_PtyPutToTmpFile(benchmark::State& state) {
    for (auto _ : state) {
        TmpPtyStream out;
        for (int k = 0; k < 100000; ++k) {
            out.put("%s", "x_");
            out.put(k);
            out.put(" + ");
            if (k % 8 == 7) out.put(";\n");
        }
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_PtyPutToTmpFile)->Unit(benchmark::kMillisecond);
