#include "corvel/pty.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// A stream of width 80 on a temporary file (closed with the stream).
struct Captured {
    FILE* f = tmpfile();
    PtyStream s;
    explicit Captured(const char* tab = nullptr) : s(f, 80, tab) {}
    std::string text() {
        fflush(f);
        rewind(f);
        std::string t;
        for (int c; (c = getc(f)) != EOF;) t += (char)c;
        return t;
    }
};

// Exact text and final column of a sequence of calls on a fresh stream.
TEST(PtyStream, WrittenTextAndColumn) {
    const std::string a75(75, 'a'), z100(100, 'z'), n50k(50000, 'n');
    struct Row {
        const char* what;
        const char* tab;
        std::function<void(PtyStream&)> run;
        std::string text;
        int column;
    };
    const Row rows[] = {
        {"newline indents", nullptr, [](PtyStream& s) { s.tab(); s.put("a\nb"); }, "a\n   b", 4},
        {"form feed does not", nullptr, [](PtyStream& s) { s.tab(); s.tab(); s.put("a\fb"); }, "a\nb", 1},
        {"80 wraps", nullptr, [&](PtyStream& s) { s.put("%s", a75.c_str()); s.put("xxxxx"); }, a75 + "\nxxxxx", 5},
        {"79 fits", nullptr, [&](PtyStream& s) { s.put("%s", a75.c_str()); s.put("xxxx"); }, a75 + "xxxx", 79},
        // A piece wider than the line is written whole on a fresh line.
        {"wide piece", nullptr, [&](PtyStream& s) { s.put("ab%s", z100.c_str()); }, "\nab" + z100, 102},
        // Past the width even an empty piece before "\n" wraps.
        {"empty piece past width", nullptr, [&](PtyStream& s) { s.put("ab%s", z100.c_str()); s.put("\n"); },
         "\nab" + z100 + "\n\n", 0},
        {"empty piece at 0", nullptr, [](PtyStream& s) { s.put("%s", ""); s.put("x\n"); }, "x\n", 0},
        {"cr indents at once", nullptr, [](PtyStream& s) { s.tab(); s.cr(); s.cr(); }, "\n   \n   ", 3},
        {"lf does not", nullptr, [](PtyStream& s) { s.tab(); s.cr(); s.lf(); }, "\n   \n", 0},
        {"custom tab, numbers", "--", [](PtyStream& s) { s.tab(); s.tab(); s.put("x\n"); s.put(42); s.put(-1.5f); },
         "x\n----42-1.500000", 15},
        {"long format", nullptr, [&](PtyStream& s) { s.put("<%s>\n%d", n50k.c_str(), 7); }, "\n<" + n50k + ">\n7", 1},
        // A temporary's copy turns "\n" into cr() and "\f" into lf(); copied characters do not move the column.
        {"copy temporary", nullptr, [](PtyStream& s) { TmpPtyStream t; t.put("a\nb"); fputs("\fc", t.file());
             s.tab(); s.put("x"); s.put(&t); }, "xa\n   b\nc", 0},
        // Copying again after the temporary grew copies it whole from its start.
        {"copy grown temporary", nullptr, [](PtyStream& s) { TmpPtyStream t; t.put("a\nb"); fputs("\fc", t.file());
             s.tab(); s.put(&t); t.put("\nd"); s.put(&t); }, "a\n   b\nca\n   b\nc\n   d", 3},
    };
    for (const Row& r : rows) {
        Captured c(r.tab);
        r.run(c.s);
        EXPECT_EQ(r.text, c.text()) << r.what;
        EXPECT_EQ(r.column, c.s.column()) << r.what;
    }
}

TEST(PtyStream, UntabAtLevelZero) {
    Captured c;
    testing::internal::CaptureStderr();
    c.s.untab();
    EXPECT_EQ("PtyStream::untab : unbalanced untab\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(0, c.s.level());
    c.s.tab();
    c.s.untab();
    EXPECT_EQ(0, c.s.level());
}

TEST(PtyStream, StandardStreamsNotClosed) {
    { PtyStream s(80, nullptr); EXPECT_EQ(stdout, s.file()); }
    EXPECT_NE(EOF, fflush(stdout));
    EXPECT_EQ(PtyStream::of_stdout(), PtyStream::of_stdout());
    EXPECT_EQ(stderr, PtyStream::of_stderr()->file());
}

TEST(PtyStreamDeathTest, FatalPaths) {
    EXPECT_EXIT(PtyStream("/nonexistent-dir/x.lus", 80, nullptr), testing::ExitedWithCode(1),
                "^can't open file '/nonexistent-dir/x.lus'\n$");
    EXPECT_EXIT(PtyStream(stdout, 80, "12345678901234567890"), testing::ExitedWithCode(1),
                "tab string longer than 19 characters");
}

}  // namespace
