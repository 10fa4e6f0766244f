// Hostile input to the whole reader: very deep expressions, huge lexemes, NUL and high bytes, and a
// program cut at every byte. Each input either loads (and then types, prints and frees without
// exhausting the C stack) or fails with the reader's message; none may crash.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "reader_helpers.h"

namespace {

const std::string kNode = "node n(x : int; b : bool) returns (o : int);\n";

// The whole program printed as Lustre text.
std::string dumped(EcPrg* prg) {
    char* text = nullptr;
    size_t len = 0;
    if (FILE* f = open_memstream(&text, &len)) {
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

// n copies of unit, then last. "x" + repeat(" + x") nests on the left, which the parser builds
// with a stack of constant depth; repeat("if b then x else ") or "- " nests on the right, and
// each level stays on the parse stack, which is bounded.
std::string repeat(const std::string& unit, int n, const std::string& last = "") {
    std::string s;
    for (int i = 0; i < n; ++i) s += unit;
    return s + last;
}

TEST(Hostile, ProgramsLoadOrFailWithTheirMessage) {
    const std::string name(100000, 'n'), digits(100000, '7'), longest(1023, 'v');
    const std::string eof2 = "syntax error line 2 near 'EOF'";
    const std::string lexeme = "lexical error: lexeme longer than 1023 characters, line '";
    const struct { std::string text; int status; std::string error; } cases[] = {
        {kNode + "let o = " + repeat("if b then x else ", 1000000, "x") + "; tel", 2,
         "memory exhausted line 2 near 'b'"},
        {kNode + "let o = " + repeat("(", 100000, "x") + repeat(")", 100000) + "; tel", 2,
         "memory exhausted line 2 near '('"},
        {kNode + "let o = " + repeat("- ", 100000, "x") + "; tel", 2, "memory exhausted line 2 near '-'"},
        {kNode + "let o = x" + repeat(" + x", 999999) + "; tel", 0, ""},  // a million levels on the left
        // An overlong lexeme ends the token stream: the syntax error replaces the lexical message,
        // unless the text before it is a whole program.
        {kNode + "let o = " + name + "; tel", 1, eof2},
        {kNode + "let o = x + " + digits + "; tel", 1, eof2},
        {kNode + "let o = x + 1." + digits + "; tel", 1, eof2},
        {kNode + "let o = x; assert b and 1e" + digits + " > 0.0; tel", 1, eof2},
        {kNode + "let o = x; tel\n" + name, 0, lexeme + "3'"},
        {"node " + longest + "(x : int) returns (o : int); let o = x; tel", 0, ""},  // longest that fits
        // NUL and high bytes.
        {kNode + "let o = x;\n" + std::string(1, '\0') + " tel", 1, "syntax error line 3 near 'EOF'"},
        {kNode + "let o = x; tel\n" + std::string(1, '\0') + "garbage", 0,
         "lexical error: unknown char '0' (\\0), line '3'"},
        {kNode + "let o = x; tel\xff", 0, "lexical error: unknown char '255' (\xff), line '2'"},
        {kNode + "var caf\xc3\xa9 : int; let o = x; tel", 1, eof2},
        {"node n(x : int) returns (o : int); let o = x \x80 + 1; tel", 1, "syntax error line 1 near 'EOF'"},
        {std::string(4096, '\0'), 0, "lexical error: unknown char '0' (\\0), line '1'"},
        {std::string(4096, '\xfe'), 0, "lexical error: unknown char '254' (\xfe), line '1'"},
    };
    for (const auto& c : cases) {
        TestProgram p;
        EXPECT_EQ(p.load(c.text), c.status) << c.error;
        EXPECT_EQ(p.error(), c.error);
        if (c.status != 0) continue;
        // A loaded program prints in full, after a blank line: each '+', 'x' and 'v' of its text once
        // (every term of the sum, the longest name whole).
        std::string text = dumped(p.prg);
        EXPECT_EQ(text.rfind("\nnode ", 0), 0u) << text.substr(0, 200);
        for (const char* what : {"+", "x", "v"}) EXPECT_EQ(count_of(text, what), count_of(c.text, what)) << what;
    }
}

// Lone expressions: parsed and typed, or failed with nothing left behind.
TEST(Hostile, ExpressionsParseOrFailWithoutLeftovers) {
    const std::string digits(100000, '7');
    const struct { std::string text; ExpNature nature; std::string error; } cases[] = {
        {repeat("if b then x else ", 1000000, "x"), ERROR_n, "memory exhausted line 1 near 'then'"},
        {"x + " + digits, ERROR_n, "syntax error line 1 near 'EOF'"},
        // x then the overlong literal is the expression x, with the lexical message kept.
        {"x\n" + digits, INPUT_n, "lexical error: lexeme longer than 1023 characters, line '2'"},
        {repeat("if b then x else ", 500, "x"), IF_n, ""},  // well inside the bound
        {"x" + repeat(" + x", 999999), PLUS_n, ""},  // a million levels
    };
    TestProgram p;
    ASSERT_EQ(p.load(kNode + "let tel"), 0);
    for (const auto& c : cases) {
        size_t exps = p.prg->nb_exps();
        p.prg->error("%s", "");
        Exp* e = p.prg->exp_parse(c.text.c_str());
        EXPECT_EQ(p.error(), c.error) << c.text.substr(0, 20);
        if (c.nature == ERROR_n) {
            EXPECT_EQ(e, nullptr);
            EXPECT_EQ(p.prg->nb_exps(), exps);
            continue;
        }
        ASSERT_NE(e, nullptr) << c.error;
        EXPECT_EQ(e->nature(), c.nature);
        EXPECT_EQ(p.prg->type(e), p.prg->int_type());
    }
}

// A program cut after each of its bytes: the prefixes that form a program load and print; every
// other one fails with a syntax error whose line is where the text ends and whose near-text is
// EOF or the last (cut) token.
TEST(Hostile, ProgramCutAtEveryByte) {
    std::ifstream in(std::string(TEST_SOURCE_DIR) + "/examples/types.ec", std::ios::binary);
    const std::string full{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(full.size(), 500u);
    int accepted = 0;
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const std::string prefix = full.substr(0, cut);
        TestProgram p;
        int status = p.load(prefix);
        if (status == 0) {
            ++accepted;
            EXPECT_NE(dumped(p.prg).find("\nnode "), std::string::npos);
            continue;
        }
        ASSERT_EQ(status, 1);
        const std::string msg = p.error();
        const std::string head = "syntax error line " + std::to_string(1 + count_of(prefix, "\n")) + " near '";
        ASSERT_EQ(msg.rfind(head, 0), 0u) << msg;
        const std::string near = msg.substr(head.size(), msg.size() - head.size() - 1);
        EXPECT_TRUE(near == "EOF" || (prefix.size() >= near.size() &&
                                      prefix.compare(prefix.size() - near.size(), near.size(), near) == 0))
            << msg;
    }
    // The empty text, the comment-only texts of the first two lines, and the whole program with
    // and without its final "." and newline.
    EXPECT_GT(accepted, 3);
    EXPECT_LT(accepted, 200);
}

}  // namespace
