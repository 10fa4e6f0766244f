// Token streams of the ec scanner, from strings and from files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "quorl/lexer.h"
#include "reader_helpers.h"

namespace {

// Renders the tokens after the start token: text-carrying tokens as
// kind:text, the others as printLexeme gives them; separated by blanks.
std::string render_tokens() {
    std::string out;
    EXPECT_EQ(ecprg_lex(), START_PROGRAM);
    for (int guard = 0; guard < 10000; ++guard) {
        int t = ecprg_lex();
        if (t == -1) break;
        if (!out.empty()) out += ' ';
        switch (t) {
        case IDENT: out += "id:" + std::string(ecprg_lval.text); break;
        case INT_LITERAL: out += "int:" + std::string(ecprg_lval.text); break;
        case REAL_LITERAL: out += "real:" + std::string(ecprg_lval.text); break;
        default: out += printLexeme(t);
        }
    }
    EXPECT_EQ(YY_result, -1);
    return out;
}

struct LexCase {
    const char* text;
    const char* tokens;
    const char* error;  // expected last error, "" for none
};

class LexString : public ::testing::TestWithParam<LexCase> {};

TEST_P(LexString, TokensAndMessage) {
    const LexCase& c = GetParam();
    TestProgram p;
    YY_ecprg = p.prg;
    yylexInitString(START_PROGRAM, c.text);
    EXPECT_EQ(render_tokens(), c.tokens) << "text: " << c.text;
    EXPECT_EQ(p.error(), c.error) << "text: " << c.text;
}

const LexCase kLexCases[] = {
    {"", "", ""},
    {"  \t\r\n\v\f ", "", ""},
    {"a--b\nc", "id:a id:c", ""},
    {"a --", "id:a", ""},
    {"a - -b", "id:a - - id:b", ""},
    {"(*)x", "id:x", ""},
    {"(**)x", "id:x", ""},
    {"(* (* x *) y *)", "id:y * )", ""},
    {"a (* never closed", "id:a", ""},
    {"1. 1.5 1e5 1E+5 1.e-3 2e-0", "real:1. real:1.5 real:1e5 real:1E+5 real:1.e-3 real:2e-0", ""},
    {"0 007 42", "int:0 int:007 int:42", ""},
    {".5", ". int:5", ""},
    {"-1", "- int:1", ""},
    {"1e", "", "lexical error: bad real syntax, line '1'"},
    {"x\n1e+ y", "id:x", "lexical error: bad real syntax, line '2'"},
    {"1.5e-", "", "lexical error: bad real syntax, line '1'"},
    {"12abc _x1 x_1Y", "int:12 id:abc id:_x1 id:x_1Y", ""},
    {"<> <= >= => -> ** <- *)", "<> <= >= => -> ** < - * )", ""},
    {"a<>b", "id:a <> id:b", ""},
    {"=== ==>", "= = = = =>", ""},  // "==" is no operator
    {". ; ) : , / % + # = ( - < > *", ". ; ) : , / % + # = ( - < > *", ""},
    {"[", "", "lexical error: unknown char '91' ([), line '1'"},
    {"a\n$ b", "id:a", "lexical error: unknown char '36' ($), line '2'"},
    {"x \xC3\xA9", "id:x", "lexical error: unknown char '195' (\xC3), line '1'"},
    {"\x80", "", "lexical error: unknown char '128' (\x80), line '1'"},
    {"\xFF", "", "lexical error: unknown char '255' (\xFF), line '1'"},
    {"(*\n\n*)\n--c\n$", "", "lexical error: unknown char '36' ($), line '5'"},
    {"and or xor not nor if then else pre current when div mod",
     "and or xor not nor if then else pre current when div mod", ""},
    {"node returns var let tel assert const type function",
     "node returns var let tel assert const type function", ""},
    {"AND And Node TRUE", "id:AND id:And id:Node id:TRUE", ""},
    {"andx nodes tel1 i in int1", "id:andx id:nodes id:tel1 id:i id:in id:int1", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, LexString, ::testing::ValuesIn(kLexCases));

TEST(Lexer, StartTokenComesFirstWithoutReading) {
    TestProgram p;
    YY_ecprg = p.prg;
    EXPECT_EQ(yylexInitString(START_EXPRESSION, "x"), 1);
    EXPECT_EQ(carcour, 'x');
    EXPECT_EQ(ecprg_lex(), START_EXPRESSION);
    EXPECT_EQ(YY_result, START_EXPRESSION);
    EXPECT_EQ(YYLEX_BOOT, 0);
    EXPECT_EQ(carcour, 'x');
    EXPECT_EQ(ecprg_lex(), IDENT);
    EXPECT_EQ(ecprg_lex(), -1);
    EXPECT_EQ(ecprg_lex(), -1);  // end of input is sticky
    EXPECT_EQ(yylexInitString(START_PROGRAM, ""), 0);
}

TEST(Lexer, TypeKeywordsCarryTheirTextOthersLeaveIt) {
    TestProgram p;
    YY_ecprg = p.prg;
    const struct {
        const char* word;
        int code;
        bool carries;
    } rows[] = {{"true", KW_TRUE, true}, {"false", KW_FALSE, true}, {"bool", KW_BOOL, true},
                {"int", KW_INT, true},   {"real", KW_REAL, true},   {"and", KW_AND, false},
                {"tel", KW_TEL, false},  {"xor", KW_XOR, false}};
    for (const auto& r : rows) {
        std::string text = std::string("before ") + r.word;
        yylexInitString(START_PROGRAM, text.c_str());
        ecprg_lex();
        ASSERT_EQ(ecprg_lex(), IDENT);
        ASSERT_EQ(ecprg_lex(), r.code) << r.word;
        EXPECT_STREQ(ecprg_lval.text, r.carries ? r.word : "before") << r.word;
    }
}

TEST(Lexer, TextsSurviveTheNextTokens) {
    // The parser may read a lookahead before interning the previous text.
    TestProgram p;
    YY_ecprg = p.prg;
    yylexInitString(START_PROGRAM, "alpha beta 12 gamma");
    ecprg_lex();
    const char* texts[4];
    for (auto& t : texts) {
        ecprg_lex();
        t = ecprg_lval.text;
    }
    EXPECT_STREQ(texts[0], "alpha");
    EXPECT_STREQ(texts[1], "beta");
    EXPECT_STREQ(texts[2], "12");
    EXPECT_STREQ(texts[3], "gamma");
}

TEST(Lexer, StringSourceNeverReadsPastItsEnd) {
    TestProgram p;
    YY_ecprg = p.prg;
    const char text[] = "ab (* x\0NOT READ *)";
    for (const char* src : {text, "ab --\0 c", "ab -\0-"}) {
        yylexInitString(START_PROGRAM, src);
        const char* end = src + strlen(src);
        ecprg_lex();
        EXPECT_EQ(ecprg_lex(), IDENT);
        int t = ecprg_lex();
        if (t != -1) {
            EXPECT_EQ(ecprg_lex(), -1);
        }
        EXPECT_EQ(YY_instring, end);
        EXPECT_EQ(GetChar(&carcour), -1);
        EXPECT_EQ(YY_instring, end);
    }
}

TEST(Lexer, PrintLexeme) {
    EXPECT_STREQ(printLexeme(-1), "EOF");
    EXPECT_STREQ(printLexeme('('), "(");
    EXPECT_STREQ(printLexeme('#'), "#");
    EXPECT_STREQ(printLexeme(KW_AND), "and");
    EXPECT_STREQ(printLexeme(KW_XOR), "xor");
    EXPECT_STREQ(printLexeme(OP_POWER), "**");
    EXPECT_STREQ(printLexeme(OP_ARROW), "->");
    EXPECT_STREQ(printLexeme(START_PROGRAM), "(unknown lexeme...)");
    EXPECT_STREQ(printLexeme('['), "(unknown lexeme...)");
    EXPECT_STREQ(printLexeme(9999), "(unknown lexeme...)");
    TestProgram p;
    YY_ecprg = p.prg;
    yylexInitString(START_PROGRAM, "x1");
    ecprg_lex();
    ecprg_lex();
    EXPECT_STREQ(printLexeme(IDENT), "x1");
}

TEST(Lexer, KeywordTablesInDocumentedOrder) {
    const char* words[27] = {"and", "assert", "bool", "const", "current", "div", "else",
                             "function", "false", "if", "int", "let", "mod", "node",
                             "not", "or", "nor", "pre", "real", "returns", "tel",
                             "type", "then", "true", "var", "when", "xor"};
    const int codes[27] = {260, 262, 263, 264, 265, 266, 267, 268, 269, 273, 274, 277, 278, 280,
                           282, 283, 281, 284, 286, 287, 288, 289, 290, 291, 292, 293, 294};
    for (int i = 0; i < 27; ++i) {
        EXPECT_STREQ(Keywords[i].text, words[i]);
        EXPECT_EQ(Keywords[i].code, codes[i]);
        bool flagged = codes[i] == 263 || codes[i] == 269 || codes[i] == 274 ||
                       codes[i] == 286 || codes[i] == 291;
        EXPECT_EQ(Keywords[i].carries_text, flagged ? 1 : 0) << words[i];
    }
    const char* ops[6] = {"->", ">=", "=>", "<=", "<>", "**"};
    const int op_codes[6] = {261, 270, 275, 276, 279, 295};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(SpecKeywords[i].text, ops[i]);
        EXPECT_EQ(SpecKeywords[i].code, op_codes[i]);
    }
}

// Words and numbers are cut at 1023 characters: longer ones end the tokens.
TEST(Lexer, LongLexemes) {
    TestProgram p;
    YY_ecprg = p.prg;
    std::string word(1023, 'w');
    std::string text = word + " x";
    yylexInitString(START_PROGRAM, text.c_str());
    ecprg_lex();
    ASSERT_EQ(ecprg_lex(), IDENT);
    EXPECT_EQ(std::string(ecprg_lval.text), word);
    EXPECT_EQ(ecprg_lex(), IDENT);
    EXPECT_EQ(p.error(), "");

    for (std::string longer : {std::string(1024, 'w'), "a " + std::string(5000, '7'),
                               "a\n" + std::string(1020, '1') + ".123e+5",
                               std::string(100000, 'z')}) {
        TestProgram q;
        YY_ecprg = q.prg;
        yylexInitString(START_PROGRAM, longer.c_str());
        std::string toks = render_tokens();
        EXPECT_TRUE(toks.empty() || toks == "id:a") << toks;
        int line = longer[1] == '\n' ? 2 : 1;
        EXPECT_EQ(q.error(), "lexical error: lexeme longer than 1023 characters, line '" +
                                 std::to_string(line) + "'");
    }
}

std::string lex_file(const std::string& content, TestProgram& p) {
    FILE* f = tmpfile();
    fwrite(content.data(), 1, content.size(), f);
    rewind(f);
    YY_ecprg = p.prg;
    yylexInitFile(START_PROGRAM, f);
    std::string toks = render_tokens();
    EXPECT_EQ(fclose(f), 0);
    YY_infile = nullptr;
    return toks;
}

TEST(Lexer, FileSourceSameTokens) {
    TestProgram p;
    EXPECT_EQ(lex_file("node n (x: int) -- c\n(* c\n *) 1.e-3 <>", p),
              "node id:n ( id:x : int ) real:1.e-3 <>");
    EXPECT_EQ(yyline, 3);
    EXPECT_EQ(p.error(), "");
}

TEST(Lexer, NulAndHighBytesInFiles) {
    TestProgram p;
    EXPECT_EQ(lex_file(std::string("a\nb\0c", 5), p), "id:a id:b");
    EXPECT_EQ(p.error(), "lexical error: unknown char '0' (\\0), line '2'");
    TestProgram q;
    EXPECT_EQ(lex_file("ok \xE9t\xE9", q), "id:ok");
    EXPECT_EQ(q.error(), "lexical error: unknown char '233' (\xE9), line '1'");
    TestProgram r;
    EXPECT_EQ(lex_file("x (* open\n\n", r), "id:x");
    EXPECT_EQ(yyline, 3);
    EXPECT_EQ(r.error(), "");
}

TEST(Lexer, EcLexTestPrintsTheStream) {
    std::string path = std::string(TEST_BINARY_DIR) + "/lexer_test_input.ec";
    FILE* f = fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("node n(x:int) -- c\nlet y = x ** 2; tel", f);
    ASSERT_EQ(fclose(f), 0);
    SymbolTable table;
    testing::internal::CaptureStdout();
    EXPECT_EQ(EcLexTest(&table, path.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "noden(x:int)lety=x**2;tel");
    EXPECT_EQ(remove(path.c_str()), 0);

    testing::internal::CaptureStderr();
    EXPECT_EQ(EcLexTest(&table, "/nonexistent/dir/x.ec"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "EcLexTest : Can't open file '/nonexistent/dir/x.ec'\n");
}

}  // namespace

namespace {

// A file is read a block at a time: tokens, comments and lines that cross a
// block boundary come out exactly as from a string, wherever the boundary
// falls.
TEST(Lexer, FileBlocksJoinSeamlessly) {
    for (size_t pad : {65530u, 65533u, 65535u, 65536u, 65537u, 131070u}) {
        std::string text(pad, ' ');
        text += "alpha_beta_gamma 12.5e-3 -> (* a\ncomment *) -- line\n<> delta\n";
        text += std::string(70000, '\n') + "omega";
        TestProgram p;
        std::string from_file = lex_file(text, p);
        int file_lines = yyline;
        YY_ecprg = p.prg;
        yylexInitString(START_PROGRAM, text.c_str());
        EXPECT_EQ(render_tokens(), from_file) << pad;
        EXPECT_EQ(yyline, file_lines) << pad;
        EXPECT_EQ(from_file, "id:alpha_beta_gamma real:12.5e-3 -> <> id:delta id:omega") << pad;
        EXPECT_EQ(file_lines, 70004) << pad;
        EXPECT_EQ(p.error(), "") << pad;
    }
}

// A word longer than the token limit that straddles a block boundary is
// still reported, with its line.
TEST(Lexer, LongWordAcrossABlockBoundary) {
    std::string text = "\n" + std::string(65000, ' ') + std::string(2000, 'w');
    TestProgram p;
    EXPECT_EQ(lex_file(text, p), "");
    EXPECT_EQ(p.error(), "lexical error: lexeme longer than 1023 characters, line '2'");
}

}  // namespace
