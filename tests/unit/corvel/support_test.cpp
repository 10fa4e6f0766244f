// The support library: interning and its statistics, integer lists,
// fractions, the pretty-printing stream and the diagnostics.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "corvel/chain.h"
#include "corvel/errors.h"
#include "corvel/fract.h"
#include "corvel/intlist.h"
#include "corvel/pty.h"
#include "corvel/symbols.h"

#pragma GCC diagnostic ignored "-Wformat-zero-length"

namespace {

using testing::ExitedWithCode;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// What f writes into a temporary file.
std::string written(const std::function<void(FILE*)>& f) {
    FILE* file = tmpfile();
    f(file);
    fflush(file);
    rewind(file);
    std::string s;
    for (int c; (c = getc(file)) != EOF;) s += (char)c;
    EXPECT_EQ(fclose(file), 0);
    return s;
}

// ---------------------------------------------------------------- symbols

TEST(StringTape, HashCodesAndStatistics) {
    StringTape t;
    struct {
        const char* s;
        int code;
    } codes[] = {{"abc", 291},
                 {"qbc", 291},  // only the low four bits count: 'a' and 'q' collide
                 {"bool", 2202},
                 {"", 0},
                 {"123456789", (int)((0x1234567u + 0x89u) % 5041u)}};  // 9th byte: 2nd word
    for (auto& c : codes) EXPECT_EQ(c.code, t.hash_code(c.s)) << c.s;
    EXPECT_EQ("hash size  :  5041\noccupied   :     0\ncoll max   :     0\nnb strings :     0\n",
              written([&](FILE* f) { t.print_statistics(f); }));
    // A failed search over n items of a bucket raises coll max to n + 1 when n exceeds it:
    // "Abc" compares 2 (not above 2: no change), "1bc" compares 3.
    struct {
        const char* s;
        bool add;
        int id, coll;
    } steps[] = {{"abc", true, 1, 0},  {"qbc", true, 2, 2}, {"abc", true, 1, 2},
                 {"Abc", false, 0, 2}, {"Qbc", true, 3, 2}, {"1bc", false, 0, 4},
                 {"qbc", false, 2, 4}};
    for (auto& c : steps) {
        EXPECT_EQ(c.id,
                  c.add ? t.internal_add(c.s, strlen(c.s)) : t.internal_find(c.s, strlen(c.s)))
            << c.s;
        EXPECT_EQ(c.coll, t.coll_max()) << c.s;
    }
    EXPECT_EQ("hash size  :  5041\noccupied   :     1\ncoll max   :     4\nnb strings :     3\n",
              written([&](FILE* f) { t.print_statistics(f); }));
}

// Identifiers, texts, occupied and coll max agree with a model of chained
// buckets, for names that the numbered index takes (dense), refuses (sparse,
// descending, leading zeros, ten digits) or never sees.
TEST(StringTape, AgreesWithChainedBuckets) {
    std::vector<std::string> names;
    auto numbered = [&](const char* prefix, long long first, int n, int step) {
        for (int i = 0; i < n; ++i)
            names.push_back(prefix + std::to_string(first + (long long)i * step));
    };
    numbered("v", 0, 5000, 1);
    numbered("s", 0, 300, 100003);
    numbered("d", 400, 400, -1);
    numbered("v0", 0, 50, 1);
    numbered("x", 4000000000LL, 50, 1);
    numbered("", 0, 20000, 1);  // long chains
    names.push_back("plain");
    StringTape t;
    std::vector<int> chain(t.hash_size(), 0);
    int coll = 0, occupied = 0;
    auto failed = [&](int n) {
        if (n > coll) coll = n + 1;
    };
    for (size_t i = 0; i < names.size(); ++i) {
        int& n = chain[t.hash_code(names[i].c_str())];
        failed(n);
        occupied += n++ == 0;
        ASSERT_EQ(t.internal_add(names[i].data(), names[i].size()), (int)i + 1) << names[i];
    }
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_EQ(t.internal_find(names[i].data(), names[i].size()), (int)i + 1) << names[i];
        ASSERT_EQ(names[i], t.text((int)i + 1));
    }
    EXPECT_EQ(t.coll_max(), coll);
    EXPECT_EQ(t.occupied(), occupied);
    for (const char* s :
         {"v5000", "s1", "d401", "v000", "x4000000050", "20000", "plainer", "-1", "00"}) {
        EXPECT_EQ(t.internal_find(s, strlen(s)), 0) << s;
        failed(chain[t.hash_code(s)]);
        EXPECT_EQ(t.coll_max(), coll) << s;
    }
}

TEST(SymbolTable, AddFindCutPrintIterate) {
    SymbolTable st;
    EXPECT_EQ(0, st.count());
    st.init_iterate();
    EXPECT_EQ(nullptr, st.iterate());
    struct {
        int got, want;
    } ids[] = {// evaluated in order
               {st.add("bool"), 1},       {st.add("int"), 2},
               {st.add("%s", "bool"), 1}, {st.add("%s%d", "x", 12), 3},
               {st.find("x12"), 3},       {st.find("%c%d", 'x', 12), 3},
               {st.find("x13"), 0},       {st.add("%s", "100%"), 4},
               {st.add("%s", ""), 5},     {st.add_text("int and more", 3), 2}};
    for (auto& c : ids) EXPECT_EQ(c.want, c.got) << "row " << &c - ids;
    EXPECT_STREQ("100%", st[4]);
    for (int bad : {0, 6, -3}) EXPECT_EQ(nullptr, st[bad]) << bad;
    int id = -1;
    EXPECT_EQ(0, st.find_then_add(&id, "b%d", 1));  // added now: 0
    EXPECT_EQ(6, id);
    EXPECT_EQ(1, st.find_then_add(&id, "b1"));
    id = 77;
    EXPECT_EQ(0, st.find_then_get(&id, "c"));  // absent: untouched, nothing added
    EXPECT_EQ(77, id);
    EXPECT_EQ(1, st.find_then_get(&id, "%s", "int"));
    EXPECT_EQ(2, id);
    EXPECT_EQ(
        "symbol[  1]= \"bool\"\nsymbol[  2]= \"int\"\nsymbol[  3]= \"x12\"\nsymbol[  4]= \"100%\"\n"
        "symbol[  5]= \"\"\nsymbol[  6]= \"b1\"\n",
        written([&](FILE* f) { st.print(f); }));
    st.init_iterate();
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(st[k], st.iterate());
    EXPECT_EQ(nullptr, st.iterate());
    // Names over kMaxName are cut the same way by every entry; a name a
    // format makes longer than 1,023 characters is kept whole.
    const std::string longest(SymbolTable::kMaxName, 'L'), over(20000, 'L');
    int l = st.add("%s", longest.c_str());
    EXPECT_EQ(l, st.add_text(over.data(), over.size()));
    EXPECT_EQ(l, st.add("%s", over.c_str()));
    EXPECT_EQ(l, st.add("%s%s", longest.c_str(), "tail"));
    EXPECT_EQ(l, st.find("%s", over.c_str()));
    const std::string mid = "<" + std::string(5000, 'm') + ">";
    int m = st.add("<%s>", mid.substr(1, 5000).c_str());
    EXPECT_EQ(mid, st[m]);
    // Names around the 16 characters an index slot holds.
    for (const char* s :
         {"abcdefghijklmno", "abcdefghijklmnop", "abcdefghijklmnopq", "abcdefghijklmnoq"})
        EXPECT_EQ(st.find("%s", s), 0) << s;
    int a = st.add("abcdefghijklmnop"), b = st.add("abcdefghijklmnopq");
    EXPECT_EQ(st.find("abcdefghijklmnop"), a);
    EXPECT_EQ(st.find("abcdefghijklmnopq"), b);
    EXPECT_EQ(st.find("abcdefghijklmnopr"), 0);
}

// ---------------------------------------------------------------- lists

// The program's lists only ever append one cell at a time; every node of a
// concatenation gains the other list's whole length.
TEST(IntList, Concatenation) {
    const int a[] = {1, 2, 3}, b[] = {4, 5, 6, 7};
    IntList* left = new IntList(a, 3);
    IntList* right = new IntList(b, 4);
    EXPECT_EQ(IntList::append(nullptr, right), right);
    EXPECT_EQ(IntList::append(left, right), left);
    const int both[] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_TRUE(left->compare(both, 7));
    int length = 7, value = 0;
    for (IntList* l = left; l; l = l->tail()) EXPECT_EQ(l->length(), length--);
    EXPECT_EQ(left->extract(6, &value), 0);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(left->extract(7, &value), 1);
    delete_chain(left, &IntList::tail);
}

TEST(IntList, PrintIterateAndLimits) {
    std::vector<int> values(25);
    for (int k = 0; k < 25; ++k) values[(size_t)k] = k;
    IntList* l = new IntList(values.data(), 25);
    EXPECT_EQ(l->length(), 25);
    EXPECT_EQ(
        "{ 0, 1, 2, 3, 4, 5, 6, 7, 8, 9,\n10, 11, 12, 13, 14, 15, 16, 17, 18, 19,\n"
        "20, 21, 22, 23, 24 }\n",
        written([&](FILE* f) { l->print(f); }));
    IntIterator it(l->tail()->tail());
    for (int v : {2, 3}) EXPECT_EQ(v, it());
    delete_chain(l, &IntList::tail);
    IntIterator empty(nullptr);
    EXPECT_EQ(0, empty());
    EXPECT_EXIT(IntList(values.data(), 0), ExitedWithCode(1),
                "IntList::IntList: empty value array\n");
}

// ---------------------------------------------------------------- fractions

TEST(Fract, NormalFormArithmeticParsingAndPrint) {
    const Fract got[] = {Fract(6, -4),
                         Fract(0, -5),
                         plus(Fract(1, 6), Fract(1, 3)),
                         slash(Fract(1, 2), Fract(-3, 4)),
                         abs(Fract(-3, 4)),
                         atofract("2.50"),
                         atofract("-1.5e2"),
                         atofract("12e-3"),
                         atofract("1."),
                         atofract("7x")};
    const long long want[][2] = {{-3, 2}, {0, 1},    {1, 2},   {-2, 3}, {3, 4},
                                 {5, 2},  {-150, 1}, {3, 250}, {1, 1},  {7, 1}};
    for (size_t i = 0; i < sizeof want / sizeof want[0]; ++i) {
        EXPECT_EQ(want[i][0], got[i].num) << i;
        EXPECT_EQ(want[i][1], got[i].den) << i;
    }
    EXPECT_EQ("3 -3/2", written([](FILE* f) {
                  Fract(3).print(f);
                  fputc(' ', f);
                  Fract(-3, 2).print(f);
              }));
    Fract half(1, 2), five_halves(5, 2);
    EXPECT_TRUE(half < Fract(2, 3) && Fract(4, 2) == 2LL && !(2LL >= five_halves) && half != 1LL);
    EXPECT_EXIT(Fract(1, 0), ExitedWithCode(1), "^Fract::Fract: division by zero\n$");
    EXPECT_EXIT(atofract("12345678901234567890"), ExitedWithCode(1),
                "^Fract::operator=\\(char\\*\\) : arithmetic overflow while parsing "
                "'12345678901234567890'\n$");
}

// ---------------------------------------------------------------- streams

// Exact text and final column of a sequence of calls on a fresh stream:
// "<tab>", "<cr>", "<lf>", "<42>" (put of an int) and "<copy>" (of a
// temporary stream holding "a\nb\fc") call the stream; any other step is
// put whole through "%s". The stream's line counts every newline written.
TEST(PtyStream, WrittenTextColumnAndLine) {
    const std::string a75(75, 'a'), z(100, 'z'), n50k(50000, 'n');
    const struct {
        const char* tab;
        std::vector<std::string> steps;
        std::string text;
        int column;
    } rows[] = {
        {nullptr, {"<tab>", "a\nb"}, "a\n   b", 4},           // newline indents
        {nullptr, {"<tab>", "<tab>", "a\fb"}, "a\nb", 1},     // form feed does not
        {nullptr, {a75, "xxxxx"}, a75 + "\nxxxxx", 5},        // 80 wraps
        {nullptr, {a75, "xxxx"}, a75 + "xxxx", 79},           // 79 fits
        {nullptr, {"ab" + z, "\n"}, "\nab" + z + "\n\n", 0},  // a wide piece, then an empty one
        {nullptr, {"<tab>", "<cr>", "<cr>", "<lf>"}, "\n   \n   \n", 0},
        {"--", {"<tab>", "<tab>", "x\n", "<42>"}, "x\n----42", 6},
        {nullptr, {"<" + n50k + ">\n7"}, "\n<" + n50k + ">\n7", 1},
        {nullptr, {"<tab>", "x", "<copy>"}, "xa\n   b\nc", 0},  // copied text leaves the column
    };
    for (const auto& r : rows) {
        char* buf = nullptr;
        size_t len = 0;
        int column = -1, line = -1;
        {
            PtyStream s(open_memstream(&buf, &len), 80, r.tab);  // closed with the stream
            for (const std::string& step : r.steps) {
                TmpPtyStream t;
                fputs("a\nb\fc", t.file());
                if (step == "<tab>")
                    s.tab();
                else if (step == "<cr>")
                    s.cr();
                else if (step == "<lf>")
                    s.lf();
                else if (step == "<42>")
                    s.put(42);
                else if (step == "<copy>")
                    s.put(&t);
                else
                    s.put("%s", step.c_str());
            }
            column = s.column();
            line = s.line();
        }
        EXPECT_EQ(r.text, std::string(buf, len)) << r.steps[0].substr(0, 9);
        EXPECT_EQ(r.column, column) << r.steps[0].substr(0, 9);
        EXPECT_EQ(1 + std::count(r.text.begin(), r.text.end(), '\n'), line) << r.steps[0].substr(0, 9);
        free(buf);
    }
    CaptureStderr();
    PtyStream(stdout).untab();
    EXPECT_EQ("PtyStream::untab : unbalanced untab\n", GetCapturedStderr());
    EXPECT_NE(EOF, fflush(stdout));  // the stream on stdout did not close it
    EXPECT_EXIT(PtyStream("/nonexistent-dir/x.lus"), ExitedWithCode(1),
                "^can't open file '/nonexistent-dir/x.lus'\n$");
}

// ---------------------------------------------------------------- diagnostics

class Diagnostics : public testing::Test {
protected:
    void SetUp() override {
        VERBOSE = PIPE = WHEEL_INDEX = nb_global_error = 0;
        TOOL_NAME = TOOL_NAME_DFLT;
        WHEEL_STEP = 1;
    }
};

TEST_F(Diagnostics, TraceLevelsAndPipeMarkers) {
    const int kPlain = -1000;  // the form without a level: prints when VERBOSE != 0
    const struct {
        int verbose, level;
        bool prints;
    } levels[] = {{0, kPlain, false}, {1, kPlain, true}, {-1, kPlain, true},
                  {0, 0, true},       {0, 1, false},     {-1, 1, false},
                  {-1, -2, true},     {2, 2, true},      {2, 3, false}};
    for (const auto& c : levels) {
        set_verbose_mode(c.verbose);
        CaptureStderr();
        int result =
            c.level == kPlain ? Verbose("trace %d\n", 7) : Verbose(c.level, "trace %d\n", 7);
        EXPECT_EQ(GetCapturedStderr(), c.prints ? "trace 7\n" : "") << c.verbose << " " << c.level;
        EXPECT_EQ(result, c.verbose);
    }
    const struct {
        const char *format, *piped, *plain;
    } pipes[] = {{"\rline %d", " \n^Rline 3", "\rline 3"},
                 {"\bline %d", "\n^Bline 3", "\bline 3"},
                 {"\r\rline %d", " \n^R\rline 3", "\r\rline 3"},
                 {"li\rne %d", "li\rne 3", "li\rne 3"},
                 {"", "", ""}};
    set_verbose_mode(1);
    for (const auto& c : pipes) {
        PIPE = 0;
        CaptureStderr();
        Verbose(c.format, 3);
        EXPECT_EQ(GetCapturedStderr(), c.plain);
        set_pipe_mode();
        CaptureStderr();
        Verbose(1, c.format, 3);
        EXPECT_EQ(GetCapturedStderr(), c.piped);
    }
}

// With period p the wheel first turns on call p (call 1 for p 0), then
// every p + 1 calls, cycling | / - \ ; silent when not verbose or off a
// terminal. Standard error is a pseudo-terminal meanwhile, so that
// isatty(2) holds.
TEST_F(Diagnostics, Wheel) {
    const struct {
        int verbose, period, calls;
        const char* out;
    } cases[] = {{1, 0, 5, "|\b,/\b,-\b,\\\b,|\b,"}, {2, 3, 9, ",,|\b,,,,/\b,,,"}, {0, 0, 2, ",,"}};
    for (const auto& c : cases) {
        SetUp();
        int master = -1, tty = -1;
        ASSERT_EQ(openpty(&master, &tty, nullptr, nullptr, nullptr), 0);
        fflush(stderr);
        int saved = dup(2);
        dup2(tty, 2);
        set_verbose_mode(c.verbose);
        std::string out;
        for (int i = 0; i < c.calls; i++) {
            EXPECT_EQ(VerboseWheel(c.period), c.verbose);
            char buffer[16];
            pollfd p{master, POLLIN, 0};
            ssize_t n = poll(&p, 1, 50) > 0 ? read(master, buffer, sizeof buffer) : 0;
            out.append(buffer, n > 0 ? (size_t)n : 0) += ",";
        }
        dup2(saved, 2);
        for (int fd : {saved, tty, master}) close(fd);
        EXPECT_EQ(out, c.out) << c.period;
    }
    CaptureStderr();
    VerboseWheel(0);
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(Diagnostics, Reports) {
    CaptureStderr();
    Warning("disk %d%% full", 90);
    char name[16] = "tool";
    set_errors_tool_name(name);
    Warning("%s", "a");
    strcpy(name, "other");  // the pointer is kept, not the text
    Warning("b");
    ierror("internal %s", "x");
    GErrorRecover();  // no errors yet: returns
    GError("first %d;", 1);
    GError("second");
    EXPECT_EQ(GetCapturedStderr(),
              "  Warning :\ndisk 90% full\ntool Warning :\na\nother Warning :\nb\ninternal xfirst "
              "1;second");
    EXPECT_EQ(GErrors(), 2);
    EXPECT_EXIT(GErrorRecover(), ExitedWithCode(1), "\\*\\*\\* 2 Errors stop\n$");
    EXPECT_EXIT(IError("node %s has kind %d", "n", 12), ExitedWithCode(1),
                "^Sorry, Internal Error :\nnode n has kind 12\n$");
    EXPECT_EXIT(Error("bad %s", "thing"), ExitedWithCode(1), "^other Error :\nbad thing\n$");
}

}  // namespace
