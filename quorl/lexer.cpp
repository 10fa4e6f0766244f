// Hand-written ec scanner: one character of lookahead, a 256-entry
// character-class table, keyword lookup after a whole word, and no
// allocation per token (texts go through fixed buffers).
#include "quorl/lexer.h"

#include <cstdarg>
#include <cstring>

#include "quorl/ecprg.h"

static_assert(START_PROGRAM == 258 && START_EXPRESSION == 259, "start tokens");
static_assert(KW_AND == 260 && OP_ARROW == 261 && KW_FALSE == 269, "token codes");
static_assert(INT_LITERAL == 271 && IDENT == 272 && REAL_LITERAL == 285, "token codes");
static_assert(KW_XOR == 294 && OP_POWER == 295, "token codes");

// ---------------------------------------------------------------- state
FILE* YY_infile = nullptr;
const char* YY_instring = nullptr;
int carcour = -1;
int yyline = 1;
int YYLEX_BOOT = 0;
int YY_result = 0;
char buffer[LEX_MAX_TEXT + 1];
char lexemeBuff[LEX_MAX_TEXT + 1];
EcPrg* YY_ecprg = nullptr;
SymbolTable* YY_Symbols = nullptr;

// The parser may read one lookahead token before it reduces the rule that
// interns the previous token's text, so token texts rotate through a small
// ring of buffers instead of one: a text stays intact for the next three
// text-carrying tokens.
enum { TEXT_RING = 4 };
static char textRing[TEXT_RING][LEX_MAX_TEXT + 1];
static int textRingNext = 0;

// The source is read through one window: [in_cur, in_end) holds the
// characters not yet read. A file is read into in_buffer a block at a time;
// a string is its own window. The scanner takes characters from the window
// inline and calls refill() only when it is empty.
static unsigned char in_buffer[65536];
static const unsigned char* in_start = nullptr;   // first character of the window
static const unsigned char* in_cur = nullptr;
static const unsigned char* in_end = nullptr;
static bool in_eof = true;   // no more characters will come

static int refill() {
    if (in_eof) return -1;
    if (!YY_infile) {   // a string ends at its NUL, and stays there
        in_eof = true;
        return -1;
    }
    size_t n = fread(in_buffer, 1, sizeof in_buffer, YY_infile);
    if (n == 0) {
        in_eof = true;
        return -1;
    }
    in_start = in_cur = in_buffer;
    in_end = in_buffer + n;
    return *in_cur++;
}

// Next character of the source (-1 at end, sticky); a newline adds one to
// yyline.
static inline int next_char() {
    int c = in_cur < in_end ? *in_cur++ : refill();
    if (c == '\n') ++yyline;
    return c;
}

static inline int advance() { return carcour = next_char(); }

// A string source's read position is visible as YY_instring between tokens.
static inline void sync_string_position() {
    if (YY_instring) YY_instring = reinterpret_cast<const char*>(in_cur);
}

// ---------------------------------------------------------------- keywords
const LexKeyword Keywords[27] = {
    {"and", KW_AND, 0},         {"assert", KW_ASSERT, 0}, {"bool", KW_BOOL, 1},
    {"const", KW_CONST, 0},     {"current", KW_CURRENT, 0}, {"div", KW_DIV, 0},
    {"else", KW_ELSE, 0},       {"function", KW_FUNCTION, 0}, {"false", KW_FALSE, 1},
    {"if", KW_IF, 0},           {"int", KW_INT, 1},       {"let", KW_LET, 0},
    {"mod", KW_MOD, 0},         {"node", KW_NODE, 0},     {"not", KW_NOT, 0},
    {"or", KW_OR, 0},           {"nor", KW_NOR, 0},       {"pre", KW_PRE, 0},
    {"real", KW_REAL, 1},       {"returns", KW_RETURNS, 0}, {"tel", KW_TEL, 0},
    {"type", KW_TYPE, 0},       {"then", KW_THEN, 0},     {"true", KW_TRUE, 1},
    {"var", KW_VAR, 0},         {"when", KW_WHEN, 0},     {"xor", KW_XOR, 0},
};

const LexKeyword SpecKeywords[6] = {
    {"->", OP_ARROW, 0}, {">=", OP_GTE, 0}, {"=>", OP_IMPL, 0},
    {"<=", OP_LTE, 0},   {"<>", OP_NEQ, 0}, {"**", OP_POWER, 0},
};

// ---------------------------------------------------------------- classes
// Character classes of the POSIX locale: only ASCII bytes have a class.
enum : unsigned char {
    C_SPACE = 1,   // space \t \n \v \f \r
    C_DIGIT = 2,   // 0-9
    C_LETTER = 4,  // word character: letter, digit, '_'
    C_SEP1 = 8,    // . ; ) : , / % + #   a token by itself
    C_SEP2 = 16,   // = ( - < > *         alone or first of a pair
};

namespace {

struct ClassTable {
    unsigned char cls[256];
    unsigned char kwLen[27];   // length of each keyword
    // Keyword rows by first character, in table order (at most 4 per letter).
    signed char byFirst[128][5];
    ClassTable() noexcept : cls(), kwLen(), byFirst() {
        for (const char* p = " \t\n\v\f\r"; *p; ++p) cls[(unsigned char)*p] |= C_SPACE;
        for (int c = '0'; c <= '9'; ++c) cls[c] |= C_DIGIT | C_LETTER;
        for (int c = 'a'; c <= 'z'; ++c) cls[c] |= C_LETTER;
        for (int c = 'A'; c <= 'Z'; ++c) cls[c] |= C_LETTER;
        cls[(unsigned char)'_'] |= C_LETTER;
        for (const char* p = ".;):,/%+#"; *p; ++p) cls[(unsigned char)*p] |= C_SEP1;
        for (const char* p = "=(-<>*"; *p; ++p) cls[(unsigned char)*p] |= C_SEP2;
        for (auto& row : byFirst)
            for (auto& k : row) k = -1;
        for (int i = 0; i < 27; ++i) {
            signed char* row = byFirst[(unsigned char)Keywords[i].text[0]];
            int n = 0;
            while (row[n] >= 0) ++n;
            row[n] = (signed char)i;
            kwLen[i] = (unsigned char)strlen(Keywords[i].text);
        }
    }
};

const ClassTable CT;

inline int cls(int c) { return c < 0 ? 0 : CT.cls[c]; }

// Formats a lexical error into the program being read; without a program
// (EcLexTest) the message goes to standard error on a line of its own.
void lex_error(const char* format, ...) __attribute__((format(printf, 1, 2)));
void lex_error(const char* format, ...) {
    char msg[1024];
    va_list ap;
    va_start(ap, format);
    if (vsnprintf(msg, sizeof msg, format, ap) < 0) msg[0] = '\0';
    va_end(ap);
    if (YY_ecprg)
        YY_ecprg->error("%s", msg);
    else
        fprintf(stderr, "%s\n", msg);
}

// Copies the n characters of buffer into the next ring slot and makes it the
// token value.
void set_text(int n) {
    char* slot = textRing[textRingNext];
    textRingNext = (textRingNext + 1) % TEXT_RING;
    memcpy(slot, buffer, (size_t)n);
    slot[n] = '\0';
    ecprg_lval.text = slot;
}

// Keyword row of the n-character word in buffer, or -1.
int find_keyword(int n) {
    unsigned char first = (unsigned char)buffer[0];
    if (n < 2 || n > 8 || first >= 128) return -1;
    for (const signed char* k = CT.byFirst[first]; *k >= 0; ++k) {
        if (CT.kwLen[*k] == n && memcmp(Keywords[*k].text, buffer, (size_t)n) == 0) return *k;
    }
    return -1;
}

// A word or number longer than the token value can hold ends the token
// stream with a message naming the line, like the other lexical errors.
int too_long() {
    lex_error("lexical error: lexeme longer than %d characters, line '%d'",
              LEX_MAX_TEXT, yyline);
    return YY_result = -1;
}

// number: digits ['.' digits] [('e'|'E') ['+'|'-'] digits]
int read_number() {
    int n = 0;
    bool real = false;
    auto store = [&n](int c) {
        if (n >= LEX_MAX_TEXT) return false;
        buffer[n++] = (char)c;
        return true;
    };
    while (cls(carcour) & C_DIGIT) {
        if (!store(carcour)) return too_long();
        advance();
    }
    if (carcour == '.') {
        real = true;
        if (!store(carcour)) return too_long();
        advance();
        while (cls(carcour) & C_DIGIT) {
            if (!store(carcour)) return too_long();
            advance();
        }
    }
    if (carcour == 'e' || carcour == 'E') {
        real = true;
        if (!store(carcour)) return too_long();
        advance();
        if (carcour == '+' || carcour == '-') {
            if (!store(carcour)) return too_long();
            advance();
        }
        if (!(cls(carcour) & C_DIGIT)) {
            lex_error("lexical error: bad real syntax, line '%d'", yyline);
            return YY_result = -1;
        }
        while (cls(carcour) & C_DIGIT) {
            if (!store(carcour)) return too_long();
            advance();
        }
    }
    buffer[n] = '\0';
    set_text(n);
    return YY_result = real ? REAL_LITERAL : INT_LITERAL;
}

int read_word() {
    int n = 0;
    while (cls(carcour) & C_LETTER) {
        if (n >= LEX_MAX_TEXT) return too_long();
        buffer[n++] = (char)carcour;
        // The letters that follow in the window are copied without a call
        // per character (a word holds no newline).
        while (in_cur < in_end && (CT.cls[*in_cur] & C_LETTER) && n < LEX_MAX_TEXT)
            buffer[n++] = (char)*in_cur++;
        advance();
    }
    buffer[n] = '\0';
    int k = find_keyword(n);
    if (k >= 0) {
        if (Keywords[k].carries_text) set_text(n);
        return YY_result = Keywords[k].code;
    }
    set_text(n);
    return YY_result = IDENT;
}

}  // namespace

// ---------------------------------------------------------------- input
static int lex_start(int start_token) {
    yyline = 1;
    YYLEX_BOOT = start_token;
    advance();
    return carcour != -1;
}

int yylexInitFile(int start_token, FILE* f) {
    YY_instring = nullptr;
    YY_infile = f;
    in_start = in_cur = in_end = in_buffer;
    in_eof = f == nullptr;
    return lex_start(start_token);
}

int yylexInitString(int start_token, const char* text) {
    YY_infile = nullptr;
    YY_instring = text;
    in_start = in_cur = reinterpret_cast<const unsigned char*>(text);
    in_end = in_cur + (text ? strlen(text) : 0);
    in_eof = false;
    return lex_start(start_token);
}

int GetChar(int* c) {
    *c = next_char();
    sync_string_position();
    return *c;
}

// ---------------------------------------------------------------- tokens
static int lex_token();

int ecprg_lex() {
    int code = lex_token();
    sync_string_position();
    return code;
}

static int lex_token() {
    YY_result = YYLEX_BOOT;
    if (YYLEX_BOOT != 0) {
        YYLEX_BOOT = 0;
        return YY_result;
    }
    for (;;) {
        while (cls(carcour) & C_SPACE) advance();
        if (carcour == -1) return YY_result = -1;
        int c = carcour;
        int k = cls(c);
        if (k & C_DIGIT) return read_number();
        if (k & C_LETTER) return read_word();
        if (k & C_SEP1) {
            advance();
            return YY_result = c;
        }
        if (k & C_SEP2) {
            buffer[0] = (char)c;
            int c2 = advance();
            buffer[1] = c2 < 0 ? '\0' : (char)c2;
            buffer[2] = '\0';
            if (c == '(' && c2 == '*') {
                // Block comment: the '*' of "(*" already counts as the
                // previous character, so "(*)" is complete. No nesting.
                int prev = c2;
                while (advance() != -1 && !(prev == '*' && carcour == ')'))
                    prev = carcour;
                advance();
                continue;
            }
            if (c == '-' && c2 == '-') {
                // Line comment up to and including the newline.
                while (advance() != -1 && carcour != '\n') {
                }
                advance();
                continue;
            }
            for (const LexKeyword& s : SpecKeywords) {
                if (s.text[0] == c && s.text[1] == c2) {
                    advance();
                    return YY_result = s.code;
                }
            }
            return YY_result = c;
        }
        // Unknown character (a byte outside ASCII, a NUL, '[', '$', ...); it
        // is not consumed. A NUL is shown as \0 so that the message stays
        // one whole C string.
        char shown[3] = {(char)c, '\0', '\0'};
        if (c == 0) {
            shown[0] = '\\';
            shown[1] = '0';
        }
        lex_error("lexical error: unknown char '%d' (%s), line '%d'", c, shown, yyline);
        return YY_result = -1;
    }
}

const char* printLexeme(int code) {
    if (code == -1) return "EOF";
    if (code >= 0 && code < 256 && (cls(code) & (C_SEP1 | C_SEP2))) {
        lexemeBuff[0] = (char)code;
        lexemeBuff[1] = '\0';
        return lexemeBuff;
    }
    if (code == INT_LITERAL || code == IDENT || code == REAL_LITERAL)
        return ecprg_lval.text ? ecprg_lval.text : "";
    for (const LexKeyword& k : Keywords)
        if (k.code == code) return k.text;
    for (const LexKeyword& k : SpecKeywords)
        if (k.code == code) return k.text;
    return "(unknown lexeme...)";
}

int EcLexTest(SymbolTable* symbols, const char* path) {
    FILE* f = fopen(path, "r");
    if (!f) {
        fprintf(stderr, "EcLexTest : Can't open file '%s'\n", path);
        return 1;
    }
    // No program is being read: lexical errors go to standard error rather
    // than into whatever program a previous parse left in YY_ecprg.
    YY_Symbols = symbols;
    YY_ecprg = nullptr;
    yylexInitFile(START_PROGRAM, f);
    ecprg_lex();  // the start token
    while (ecprg_lex() != -1) fputs(printLexeme(YY_result), stdout);
    (void)fclose(f);   // read only: nothing to lose
    return 0;
}
