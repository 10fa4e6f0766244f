// Token streams of the ec scanner, from strings and from files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "quorl/lexer.h"
#include "reader_helpers.h"

namespace {

// The tokens after the start token, blank-separated: kind:text for those that
// carry a text, the others as printLexeme gives them.
std::string render_tokens() {
    std::string out;
    EXPECT_EQ(ecprg_lex(), START_PROGRAM);
    for (int guard = 0, t; guard < 10000 && (t = ecprg_lex()) != -1; ++guard) {
        out += out.empty() ? "" : " ";
        const char* kind = t == IDENT ? "id:" : t == INT_LITERAL ? "int:" : t == REAL_LITERAL ? "real:" : nullptr;
        out += kind ? kind + std::string(ecprg_lval.text) : printLexeme(t);
    }
    EXPECT_EQ(YY_result, -1);
    return out;
}
// Tokens of text read from a string, or from a scratch file.
std::string lex(TestProgram& p, const std::string& text, bool from_file = false) {
    YY_ecprg = p.prg;
    FILE* f = from_file ? tmpfile() : nullptr;
    if (f) {
        fwrite(text.data(), 1, text.size(), f);
        rewind(f);
        yylexInitFile(START_PROGRAM, f);
    } else {
        yylexInitString(START_PROGRAM, text.c_str());
    }
    std::string toks = render_tokens();
    if (f) {
        EXPECT_EQ(fclose(f), 0);
        YY_infile = nullptr;
    }
    return toks;
}
std::string lex_error(const std::string& what, int line) {
    return "lexical error: " + what + ", line '" + std::to_string(line) + "'";
}
std::string too_long(int line) { return lex_error("lexeme longer than 1023 characters", line); }

struct LexCase {
    std::string text, tokens, error;  // error: the last message, "" for none
    int line = 0;                     // line at the end, when given
};
class LexString : public ::testing::TestWithParam<LexCase> {};

// A string and a file with the same text give the same tokens, message and
// line; a file is read a block at a time, and what crosses a block boundary
// must come out whole wherever the boundary falls.
TEST_P(LexString, SameTokensAndMessageFromStringAndFile) {
    const LexCase& c = GetParam();
    const std::string shown = c.text.substr(0, 40);
    TestProgram p, q;
    EXPECT_EQ(lex(p, c.text), c.tokens) << shown;
    EXPECT_EQ(p.error(), c.error) << shown;
    const int line = yyline;
    EXPECT_EQ(lex(q, c.text, true), c.tokens) << shown;
    EXPECT_EQ(q.error(), c.error) << shown;
    EXPECT_EQ(yyline, line) << shown;
    if (c.line) {
        EXPECT_EQ(line, c.line) << shown;
    }
}

const std::string kW1023(1023, 'w');
std::string padded(size_t pad) {
    return std::string(pad, ' ') + "alpha_beta_gamma 12.5e-3 -> (* a\ncomment *) -- line\n<> delta\n" +
           std::string(70000, '\n') + "omega";
}
const char* kPadded = "id:alpha_beta_gamma real:12.5e-3 -> <> id:delta id:omega";
const LexCase kLexCases[] = {
    {"", "", ""}, {"  \t\r\n\v\f ", "", ""}, {"a--b\nc", "id:a id:c", ""}, {"a --", "id:a", ""},
    {"a - -b", "id:a - - id:b", ""}, {"(*)x", "id:x", ""}, {"(**)x", "id:x", ""},
    {"(* (* x *) y *)", "id:y * )", ""}, {"a (* never\nclosed\n", "id:a", ""},
    {"1. 1.5 1e5 1E+5 1.e-3 2e-0", "real:1. real:1.5 real:1e5 real:1E+5 real:1.e-3 real:2e-0", ""},
    {"0 007 42 .5 -1", "int:0 int:007 int:42 . int:5 - int:1", ""},
    {"1e", "", lex_error("bad real syntax", 1)}, {"x\n1e+ y", "id:x", lex_error("bad real syntax", 2)},
    {"1.5e-", "", lex_error("bad real syntax", 1)},
    {"12abc _x1 x_1Y", "int:12 id:abc id:_x1 id:x_1Y", ""},
    {"<> <= >= => -> ** <- *)", "<> <= >= => -> ** < - * )", ""}, {"a<>b", "id:a <> id:b", ""},
    {"=== ==>", "= = = = =>", ""},  // "==" is no operator
    {". ; ) : , / % + # = ( - < > *", ". ; ) : , / % + # = ( - < > *", ""},
    {"[", "", lex_error("unknown char '91' ([)", 1)}, {"a\n$ b", "id:a", lex_error("unknown char '36' ($)", 2)},
    {"x \x80", "id:x", lex_error("unknown char '128' (\x80)", 1)},
    {"\xFF", "", lex_error("unknown char '255' (\xFF)", 1)},  // not taken for end of input
    {"(*\n\n*)\n--c\n$", "", lex_error("unknown char '36' ($)", 5)},
    {"and or xor not nor if then else pre current when div mod",
     "and or xor not nor if then else pre current when div mod", ""},
    {"node returns var let tel assert const type function", "node returns var let tel assert const type function",
     ""},
    {"AND And Node TRUE andx nodes tel1 i in int1",
     "id:AND id:And id:Node id:TRUE id:andx id:nodes id:tel1 id:i id:in id:int1", ""},
    // Words and numbers are cut at 1023 characters: a longer one ends the tokens.
    {kW1023 + " x", "id:" + kW1023 + " id:x", ""}, {std::string(1024, 'w'), "", too_long(1)},
    {"a " + std::string(5000, '7'), "id:a", too_long(1)},
    {"a\n" + std::string(1020, '1') + ".123e+5", "id:a", too_long(2)},
    {std::string(100000, 'z'), "", too_long(1)},
    {"\n" + std::string(65000, ' ') + std::string(2000, 'w'), "", too_long(2)},  // across a block boundary
    {padded(65530), kPadded, "", 70004}, {padded(65533), kPadded, "", 70004}, {padded(65535), kPadded, "", 70004},
    {padded(65536), kPadded, "", 70004}, {padded(65537), kPadded, "", 70004}, {padded(131070), kPadded, "", 70004},
};
INSTANTIATE_TEST_SUITE_P(Cases, LexString, ::testing::ValuesIn(kLexCases));

TEST(Lexer, StartTokenComesFirstWithoutReading) {
    TestProgram p;
    YY_ecprg = p.prg;
    EXPECT_EQ(yylexInitString(START_EXPRESSION, "x"), 1);
    EXPECT_EQ((std::vector<int>{carcour, ecprg_lex(), YY_result, YYLEX_BOOT, carcour}),
              (std::vector<int>{'x', START_EXPRESSION, START_EXPRESSION, 0, 'x'}));
    // End of input is sticky.
    EXPECT_EQ((std::vector<int>{ecprg_lex(), ecprg_lex(), ecprg_lex()}), (std::vector<int>{IDENT, -1, -1}));
    EXPECT_EQ(yylexInitString(START_PROGRAM, ""), 0);
}

// Only keywords flagged in the table overwrite the token text; texts already
// returned survive the lookahead the parser reads before interning them.
TEST(Lexer, TokenTexts) {
    TestProgram p;
    for (const char* word : {"and", "bool", "true", "xor"}) {
        bool carries = word[0] == 'b' || word[0] == 't';
        EXPECT_EQ(lex(p, std::string("before ") + word), std::string("id:before ") + word) << word;
        EXPECT_STREQ(ecprg_lval.text, carries ? word : "before") << word;
    }
    yylexInitString(START_PROGRAM, "alpha beta 12 gamma");
    ecprg_lex();
    const char* kept[4];
    for (auto& t : kept) ecprg_lex(), t = ecprg_lval.text;
    EXPECT_EQ(std::string(kept[0]) + " " + kept[1] + " " + kept[2] + " " + kept[3], "alpha beta 12 gamma");
    EXPECT_STREQ(printLexeme(IDENT), "gamma");  // text tokens print their last text
}

TEST(Lexer, StringSourceNeverReadsPastItsEnd) {
    TestProgram p;
    YY_ecprg = p.prg;
    const char text[] = "ab (* x\0NOT READ *)";
    const struct { const char* src; const char* tokens; } rows[] = {
        {text, "id:ab"}, {"ab --\0 c", "id:ab"}, {"ab -\0-", "id:ab -"}};
    for (const auto& r : rows) {
        yylexInitString(START_PROGRAM, r.src);
        EXPECT_EQ(render_tokens(), r.tokens);
        const char* end = r.src + strlen(r.src);
        EXPECT_EQ(YY_instring, end);
        EXPECT_EQ(GetChar(&carcour), -1);
        EXPECT_EQ(YY_instring, end);
    }
}

TEST(Lexer, PrintLexemeAndKeywordTables) {
    for (int code : {int(START_PROGRAM), int('['), 9999}) EXPECT_STREQ(printLexeme(code), "(unknown lexeme...)");
    EXPECT_STREQ(printLexeme(-1), "EOF");
    // The exported tables keep their order, token codes and text flags (*).
    std::string all;
    for (const LexKeyword* t : {Keywords, SpecKeywords})
        for (int i = 0; i < (t == Keywords ? 27 : 6); ++i)
            all += std::string(t[i].text) + ":" + std::to_string(t[i].code) + (t[i].carries_text ? "* " : " ");
    EXPECT_EQ(all, "and:260 assert:262 bool:263* const:264 current:265 div:266 else:267 function:268 "
                   "false:269* if:273 int:274* let:277 mod:278 node:280 not:282 or:283 nor:281 pre:284 "
                   "real:286* returns:287 tel:288 type:289 then:290 true:291* var:292 when:293 xor:294 "
                   "->:261 >=:270 =>:275 <=:276 <>:279 **:295 ");
}

TEST(Lexer, EcLexTestPrintsTheStream) {
    std::string path = std::string(TEST_BINARY_DIR) + "/lexer_test_input.ec";
    std::ofstream(path) << "node n(x:int) -- c\nlet y = x ** 2; tel";
    SymbolTable table;
    testing::internal::CaptureStdout();
    EXPECT_EQ(EcLexTest(&table, path.c_str()), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "noden(x:int)lety=x**2;tel");
    EXPECT_EQ(remove(path.c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(EcLexTest(&table, "/nonexistent/dir/x.ec"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "EcLexTest : Can't open file '/nonexistent/dir/x.ec'\n");
}

}  // namespace
