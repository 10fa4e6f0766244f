// Hostile input to the whole reader: very deep expressions, huge lexemes,
// NUL and high bytes, and a program cut at every byte. Each input either
// loads (and then types, prints and frees without exhausting the C stack)
// or fails with the reader's message; none may crash.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "reader_helpers.h"

namespace {

const char kNode[] = "node n(x : int; b : bool) returns (o : int);\n";

// Prints the whole program as Lustre text into a string.
std::string dumped(EcPrg* prg) {
    char* text = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&text, &len);
    if (!f) abort();
    {
        PtyStream out(f, 80);  // closes f
        prg->print_lus(&out);
    }
    std::string s(text ? text : "", len);
    free(text);
    return s;
}

size_t count_of(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

// x + x + ... + x with n terms: a left-nested tree n - 1 levels deep, which
// the parser builds with a stack of constant depth.
std::string left_sum(int n) {
    std::string text = "x";
    text.reserve(4 * (size_t)n);
    for (int i = 1; i < n; ++i) text += " + x";
    return text;
}

TEST(Hostile, MillionLevelLeftNestedSumLoadsTypesPrintsFrees) {
    const int n = 1000000;
    std::string sum = left_sum(n);
    TestProgram p;
    ASSERT_EQ(p.load(std::string(kNode) + "let o = " + sum + "; tel"), 0) << p.error();
    // The same text as a lone expression: parsed and typed.
    Exp* e = p.prg->exp_parse(sum.c_str());
    ASSERT_NE(e, nullptr) << p.error();
    EXPECT_EQ(e->nature(), PLUS_n);
    ASSERT_NE(p.prg->type(e), nullptr);
    EXPECT_EQ(p.prg->type(e), p.prg->type(p.id("x")));
    std::string text = dumped(p.prg);
    EXPECT_EQ(text.find("node n("), 1u) << text.substr(0, 200);  // after a blank line
    // Every operator of the equation is printed, each term once.
    size_t eq = text.find("o = ");
    ASSERT_NE(eq, std::string::npos);
    EXPECT_EQ(count_of(text, "+"), (size_t)n - 1);
    EXPECT_EQ(count_of(text.substr(eq), "x"), (size_t)n);
}  // the program and its million nodes are freed here

// if b then x else if b then x else ... else x, nested n deep on the right:
// each level stays on the parse stack, which is bounded.
std::string right_ifs(int n) {
    std::string text;
    text.reserve(22 * (size_t)n);
    for (int i = 0; i < n; ++i) text += "if b then x else ";
    text += "x";
    return text;
}

TEST(Hostile, MillionLevelRightNestedIfExhaustsTheStackCleanly) {
    std::string ifs = right_ifs(1000000);
    TestProgram p;
    EXPECT_EQ(p.load(std::string(kNode) + "let o = " + ifs + "; tel"), 2);
    EXPECT_EQ(p.error().rfind("memory exhausted line 2 near '", 0), 0u) << p.error();

    TestProgram q;
    ASSERT_EQ(q.load(std::string(kNode) + "let tel"), 0);
    size_t exps = q.prg->nb_exps();
    EXPECT_EQ(q.prg->exp_parse(ifs.c_str()), nullptr);
    EXPECT_EQ(q.error().rfind("memory exhausted line 1 near '", 0), 0u) << q.error();
    EXPECT_EQ(q.prg->nb_exps(), exps);  // everything the attempt made is gone
    // Well inside the bound the same shape parses and types.
    Exp* e = q.prg->exp_parse(right_ifs(500).c_str());
    ASSERT_NE(e, nullptr) << q.error();
    EXPECT_EQ(e->nature(), IF_n);
}

TEST(Hostile, HundredThousandNestedParenthesesInAProgram) {
    const int n = 100000;
    std::string deep = std::string(n, '(') + "x" + std::string(n, ')');
    TestProgram p;
    EXPECT_EQ(p.load(std::string(kNode) + "let o = " + deep + "; tel"), 2);
    EXPECT_EQ(p.error(), "memory exhausted line 2 near '('");
    // Prefix operators nest the same way.
    std::string minus;
    for (int i = 0; i < n; ++i) minus += "- ";
    TestProgram q;
    EXPECT_EQ(q.load(std::string(kNode) + "let o = " + minus + "x; tel"), 2);
    EXPECT_EQ(q.error(), "memory exhausted line 2 near '-'");
}

// Lexemes longer than the token value can hold end the token stream with the
// lexical message; the parser's syntax error then replaces it, or, when the
// text before is complete, the parse is accepted with the message kept.
TEST(Hostile, HundredThousandCharacterNamesAndLiterals) {
    const std::string name(100000, 'n');
    const std::string digits(100000, '7');
    const std::string too_long = "lexical error: lexeme longer than 1023 characters, line '2'";
    struct Case {
        std::string body;
    } cases[] = {
        {"let o = " + name + "; tel"},
        {"let o = x + " + digits + "; tel"},
        {"let o = x + 1." + digits + "; tel"},
        {"let o = x; assert b and 1e" + digits + " > 0.0; tel"},
    };
    for (const Case& c : cases) {
        TestProgram p;
        EXPECT_EQ(p.load(std::string(kNode) + c.body), 1);
        EXPECT_EQ(p.error(), "syntax error line 2 near 'EOF'") << c.body.substr(0, 20);
    }
    // After a complete program the long word only leaves its message.
    TestProgram p;
    EXPECT_EQ(p.load(std::string(kNode) + "let o = x; tel\n" + name), 0);
    EXPECT_EQ(p.error(), "lexical error: lexeme longer than 1023 characters, line '3'");
    // In an expression: "x" then the long literal is the expression x.
    Exp* e = p.prg->exp_parse(("x\n" + digits).c_str());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(p.error(), too_long);
    EXPECT_EQ(p.prg->exp_parse(("x + " + digits).c_str()), nullptr);
    EXPECT_EQ(p.error(), "syntax error line 1 near 'EOF'");
    // The longest name that fits is read, interned and printed whole.
    const std::string longest(1023, 'v');
    TestProgram q;
    ASSERT_EQ(q.load("node " + longest + "(x : int) returns (o : int); let o = x; tel"), 0)
        << q.error();
    EXPECT_EQ(q.prg->name(), q.id(longest.c_str()));
    EXPECT_NE(dumped(q.prg).find(longest), std::string::npos);
}

TEST(Hostile, NulAndHighBytesInAFile) {
    struct Case {
        std::string text;
        int status;
        const char* error;
    } cases[] = {
        {std::string(kNode) + "let o = x;\n" + std::string(1, '\0') + " tel", 1,
         "syntax error line 3 near 'EOF'"},
        {std::string(kNode) + "let o = x; tel\n" + std::string(1, '\0') + "garbage", 0,
         "lexical error: unknown char '0' (\\0), line '3'"},
        {std::string(kNode) + "let o = x; tel\xff", 0,
         "lexical error: unknown char '255' (\xff), line '2'"},
        {std::string(kNode) + "var caf\xc3\xa9 : int; let o = x; tel", 1,
         "syntax error line 2 near 'EOF'"},
        {std::string("node n(x : int) returns (o : int); let o = x \x80 + 1; tel"), 1,
         "syntax error line 1 near 'EOF'"},
        {std::string(4096, '\0'), 0, "lexical error: unknown char '0' (\\0), line '1'"},
        {std::string(4096, '\xfe'), 0, "lexical error: unknown char '254' (\xfe), line '1'"},
    };
    for (const Case& c : cases) {
        TestProgram p;
        EXPECT_EQ(p.load(c.text), c.status) << c.error;
        EXPECT_EQ(p.error(), c.error);
        if (c.status == 0) dumped(p.prg);
    }
}

// A program cut after each of its bytes: the prefixes that form a program
// load and print; every other one fails with a syntax error whose line is
// where the text ends and whose near-text is EOF or the last (cut) token.
TEST(Hostile, ProgramCutAtEveryByte) {
    std::ifstream in(std::string(TEST_SOURCE_DIR) + "/examples/types.ec", std::ios::binary);
    ASSERT_TRUE(in);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string full = ss.str();
    ASSERT_GT(full.size(), 500u);
    int accepted = 0;
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        std::string prefix = full.substr(0, cut);
        TestProgram p;
        int status = p.load(prefix);
        if (status == 0) {
            ++accepted;
            dumped(p.prg);
            continue;
        }
        ASSERT_EQ(status, 1) << "cut at " << cut;
        int line = 1 + (int)count_of(prefix, "\n");
        std::string head = "syntax error line " + std::to_string(line) + " near '";
        std::string msg = p.error();
        ASSERT_EQ(msg.rfind(head, 0), 0u) << "cut at " << cut << ": " << msg;
        std::string near = msg.substr(head.size(), msg.size() - head.size() - 1);
        EXPECT_TRUE(near == "EOF" || (prefix.size() >= near.size() &&
                                      prefix.compare(prefix.size() - near.size(), near.size(), near) == 0))
            << "cut at " << cut << ": " << msg;
    }
    // The empty text, the comment-only texts of the first two lines, and the
    // whole program with and without its final "." and newline.
    EXPECT_GT(accepted, 3);
    EXPECT_LT(accepted, 200);
}

}  // namespace
