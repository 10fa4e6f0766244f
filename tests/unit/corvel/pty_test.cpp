#include "corvel/pty.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string contents(FILE* f) {
    fflush(f);
    rewind(f);
    std::string s;
    int c;
    while ((c = getc(f)) != EOF) s += (char)c;
    return s;
}

// A stream on a temporary file whose text the test can read back.
struct Captured {
    FILE* f = tmpfile();
    PtyStream* s = new PtyStream(f, 80, nullptr);
    ~Captured() { delete s; }   // closes f
    std::string text() { return contents(f); }
};

TEST(PtyStream, NewlineIndentsAndFormFeedDoesNot) {
    Captured c;
    c.s->tab();
    c.s->put("a\nb");
    EXPECT_EQ("a\n   b", c.text());
    EXPECT_EQ(4, c.s->column());

    Captured d;
    d.s->tab();
    d.s->tab();
    d.s->put("a\fb");
    EXPECT_EQ("a\nb", d.text());
    EXPECT_EQ(1, d.s->column());
}

TEST(PtyStream, WrapAtWidthBoundary) {
    struct { int extra; const char* want_tail; int column; } cases[] = {
        {5, "\nxxxxx", 5}, {4, "xxxx", 79}};
    for (auto& k : cases) {
        Captured c;
        std::string line(75, 'a');
        c.s->put("%s", line.c_str());
        EXPECT_EQ(75, c.s->column());
        std::string piece(k.extra, 'x');
        c.s->put("%s", piece.c_str());
        EXPECT_EQ(line + k.want_tail, c.text());
        EXPECT_EQ(k.column, c.s->column());
    }
}

TEST(PtyStream, PieceNeverSplitAndEmptyPieces) {
    Captured c;
    std::string big(100, 'z');
    c.s->put("ab%s", big.c_str());
    // The piece of 102 characters is written whole on a fresh line.
    EXPECT_EQ("\nab" + big, c.text());
    EXPECT_EQ(102, c.s->column());
    c.s->put("\n");   // empty piece: wrap test at column 102 adds a newline
    EXPECT_EQ("\nab" + big + "\n\n", c.text());
    Captured e;
    e.s->put("%s", "");
    e.s->put("x\n");
    EXPECT_EQ("x\n", e.text());
    EXPECT_EQ(0, e.s->column());
}

TEST(PtyStream, CrWritesIndentationAtOnce) {
    Captured c;
    c.s->tab();
    c.s->cr();
    c.s->cr();
    EXPECT_EQ("\n   \n   ", c.text());
    EXPECT_EQ(3, c.s->column());
    c.s->lf();
    EXPECT_EQ(0, c.s->column());
}

TEST(PtyStream, CustomTabAndNumbers) {
    FILE* f = tmpfile();
    PtyStream s(f, 80, "--");
    s.tab();
    s.tab();
    s.put("x\n");
    s.put(42);
    s.put(-1.5f);
    EXPECT_EQ("x\n----42-1.500000", contents(f));
    EXPECT_EQ(15, s.column());
}

TEST(PtyStream, UntabAtLevelZero) {
    Captured c;
    testing::internal::CaptureStderr();
    c.s->untab();
    EXPECT_EQ("PtyStream::untab : unbalanced untab\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(0, c.s->level());
    c.s->tab();
    c.s->untab();
    EXPECT_EQ(0, c.s->level());
}

TEST(PtyStream, LongFormattedTextWrittenWhole) {
    Captured c;
    std::string name(50000, 'n');
    c.s->put("<%s>\n%d", name.c_str(), 7);
    EXPECT_EQ("\n<" + name + ">\n7", c.text());
    EXPECT_EQ(1, c.s->column());
}

TEST(PtyStream, CopiesTemporaryStream) {
    TmpPtyStream t;
    t.put("a\nb");   // held as "a\nb" at level 0
    fputs("\fc", t.file());
    Captured c;
    c.s->tab();
    c.s->put("x");
    c.s->put(&t);
    EXPECT_EQ("xa\n   b\nc", c.text());
    // Copied characters do not move the column: cr/lf set it.
    EXPECT_EQ(0, c.s->column());
    t.put("\nd");   // the temporary keeps growing at its end
    Captured d;
    d.s->tab();
    d.s->put(&t);
    EXPECT_EQ("a\n   b\nc\n   d", d.text());
    EXPECT_EQ(3, d.s->column());
}

TEST(PtyStream, StdoutNotClosed) {
    {
        PtyStream s(80, nullptr);
        EXPECT_EQ(stdout, s.file());
    }
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
