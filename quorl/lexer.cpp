// Hand-written ec scanner: one character of lookahead, a 256-entry
// character-class table, keyword lookup after a whole word, and no
// allocation per token (texts go through fixed buffers).
#include "quorl/lexer.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "quorl/ecprg.h"
#include "quorl/reader.h"
#include "quorl/source.h"

static_assert(START_PROGRAM == 258 && START_EXPRESSION == 259, "start tokens");
static_assert(KW_AND == 260 && OP_ARROW == 261 && KW_FALSE == 269, "token codes");
static_assert(INT_LITERAL == 271 && IDENT == 272 && REAL_LITERAL == 285, "token codes");
static_assert(KW_XOR == 294 && OP_POWER == 295, "token codes");

// ---------------------------------------------------------------- input

static const size_t kWindow = 65536;

// A block of a file at a time; a string ends at its NUL, and stays there.
static int refill(EcReader* r) {
    for (;;) {
        if (r->eof) return -1;
        if (!r->file) {
            r->eof = true;
            return -1;
        }
        long n = r->file->read(r->window.get(), kWindow);
        if (n <= 0) {
            if (n == ReadSource::kInterrupted)
                record_failure(r, FAIL_INTERRUPTED, nullptr);
            else if (n < 0)
                record_failure(r, FAIL_READ, nullptr, 0, errno);
            r->eof = true;
            return -1;
        }
        bool first = r->start == r->cur && r->base == 0 && r->end == r->start;
        r->base += (unsigned)(r->end - r->start);
        r->start = r->cur = r->window.get();
        r->end = r->cur + n;
        // A UTF-8 byte-order mark that begins a file is white space of no
        // width: the offsets (unsigned, so they wrap) count from after it.
        static const unsigned char kBom[3] = {0xEF, 0xBB, 0xBF};
        if (first && n >= 3 && memcmp(r->cur, kBom, 3) == 0) {
            r->cur += 3;
            r->base -= 3;
        }
        if (r->cur < r->end) return *r->cur++;
    }
}

// Offset of the next character to read.
static inline unsigned read_offset(const EcReader* r) {
    return r->base + (unsigned)(r->cur - r->start);
}

// Position (offset + 1) of the current character, or of the end of input.
static inline unsigned current_pos(const EcReader* r) {
    return read_offset(r) + (r->carcour == -1 ? 1 : 0);
}

// Next character of the source (-1 at end, sticky) into carcour; a newline
// adds one to yyline and, when a file's lines are kept, starts one.
static inline int advance(EcReader* r) {
    int c = r->cur < r->end ? *r->cur++ : refill(r);
    if (c == '\n') {
        ++r->yyline;
        r->lines->new_line(read_offset(r));
    }
    return r->carcour = c;
}

// ---------------------------------------------------------------- keywords
namespace {

struct LexKeyword {
    const char* text;
    int code;
    int carries_text;  // 1 when the token value receives the text
};

const LexKeyword Keywords[27] = {
    {"and", KW_AND, 0},     {"assert", KW_ASSERT, 0},     {"bool", KW_BOOL, 1},
    {"const", KW_CONST, 0}, {"current", KW_CURRENT, 0},   {"div", KW_DIV, 0},
    {"else", KW_ELSE, 0},   {"function", KW_FUNCTION, 0}, {"false", KW_FALSE, 1},
    {"if", KW_IF, 0},       {"int", KW_INT, 1},           {"let", KW_LET, 0},
    {"mod", KW_MOD, 0},     {"node", KW_NODE, 0},         {"not", KW_NOT, 0},
    {"or", KW_OR, 0},       {"nor", KW_NOR, 0},           {"pre", KW_PRE, 0},
    {"real", KW_REAL, 1},   {"returns", KW_RETURNS, 0},   {"tel", KW_TEL, 0},
    {"type", KW_TYPE, 0},   {"then", KW_THEN, 0},         {"true", KW_TRUE, 1},
    {"var", KW_VAR, 0},     {"when", KW_WHEN, 0},         {"xor", KW_XOR, 0},
};

const LexKeyword SpecKeywords[6] = {
    {"->", OP_ARROW, 0}, {">=", OP_GTE, 0}, {"=>", OP_IMPL, 0},
    {"<=", OP_LTE, 0},   {"<>", OP_NEQ, 0}, {"**", OP_POWER, 0},
};

}  // namespace

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
    unsigned char kwLen[27];  // length of each keyword
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

// The text a lexical error leaves unread, for a program whose node it
// follows (quorl/source.h, NOTE_TRAILING): the `consumed' characters of the
// token in buffer, then the rest of the line as far as the window holds it.
std::string unread_text(const EcReader* r, int consumed) {
    const size_t most = 4096;
    std::string text(r->buffer, (size_t)consumed);
    if (r->carcour >= 0) text += (char)r->carcour;
    for (const unsigned char* p = r->cur; p < r->end && *p != '\n' && text.size() < most; ++p)
        text += (char)*p;
    return text;
}

// Records a lexical error at the current character, after `consumed'
// characters of the token read into buffer.
void lex_error(EcReader* r, int consumed, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
void lex_error(EcReader* r, int consumed, const char* format, ...) {
    char msg[1024];
    va_list ap;
    va_start(ap, format);
    if (vsnprintf(msg, sizeof msg, format, ap) < 0) msg[0] = '\0';
    va_end(ap);
    record_failure(r, FAIL_LEXICAL, msg, current_pos(r));
    if (r->keep_positions) r->failure.unread = unread_text(r, consumed);
}

// Copies the n characters of buffer into the next ring slot and makes it the
// token value.
void set_text(EcReader* r, ECPRG_STYPE* lval, int n) {
    char* slot = r->ring[r->ring_next];
    r->ring_next = (r->ring_next + 1) % 4;
    memcpy(slot, r->buffer, (size_t)n);
    slot[n] = '\0';
    lval->text = slot;
    r->last_text = slot;
}

// Keyword row of the n-character word in buffer, or -1.
int find_keyword(const char* word, int n) {
    unsigned char first = (unsigned char)word[0];
    if (n < 2 || n > 8 || first >= 128) return -1;
    for (const signed char* k = CT.byFirst[first]; *k >= 0; ++k) {
        if (CT.kwLen[*k] == n && memcmp(Keywords[*k].text, word, (size_t)n) == 0) return *k;
    }
    return -1;
}

// A word or number longer than the token value can hold (the buffer is
// full) ends the token stream with a message naming the line, like the
// other lexical errors.
int too_long(EcReader* r) {
    lex_error(r, LEX_MAX_TEXT, "lexical error: lexeme longer than %d characters, line '%d'",
              LEX_MAX_TEXT, r->yyline);
    return -1;
}

// number: digits ['.' digits] [('e'|'E') ['+'|'-'] digits]
int read_number(EcReader* r, ECPRG_STYPE* lval) {
    int n = 0;
    bool real = false;
    auto store = [r, &n](int c) {
        if (n >= LEX_MAX_TEXT) return false;
        r->buffer[n++] = (char)c;
        return true;
    };
    auto digits = [r, &store]() {
        while (cls(r->carcour) & C_DIGIT) {
            if (!store(r->carcour)) return false;
            advance(r);
        }
        return true;
    };
    if (!digits()) return too_long(r);
    if (r->carcour == '.') {
        real = true;
        if (!store(r->carcour)) return too_long(r);
        advance(r);
        if (!digits()) return too_long(r);
    }
    if (r->carcour == 'e' || r->carcour == 'E') {
        real = true;
        if (!store(r->carcour)) return too_long(r);
        advance(r);
        if (r->carcour == '+' || r->carcour == '-') {
            if (!store(r->carcour)) return too_long(r);
            advance(r);
        }
        if (!(cls(r->carcour) & C_DIGIT)) {
            lex_error(r, n, "lexical error: bad real syntax, line '%d'", r->yyline);
            return -1;
        }
        if (!digits()) return too_long(r);
    }
    r->buffer[n] = '\0';
    set_text(r, lval, n);
    return real ? REAL_LITERAL : INT_LITERAL;
}

int read_word(EcReader* r, ECPRG_STYPE* lval) {
    int n = 0;
    while (cls(r->carcour) & C_LETTER) {
        if (n >= LEX_MAX_TEXT) return too_long(r);
        r->buffer[n++] = (char)r->carcour;
        // The letters that follow in the window are copied without a call
        // per character (a word holds no newline).
        while (r->cur < r->end && (CT.cls[*r->cur] & C_LETTER) && n < LEX_MAX_TEXT)
            r->buffer[n++] = (char)*r->cur++;
        advance(r);
    }
    r->buffer[n] = '\0';
    int k = find_keyword(r->buffer, n);
    if (k >= 0) {
        if (Keywords[k].carries_text) set_text(r, lval, n);
        return Keywords[k].code;
    }
    set_text(r, lval, n);
    return IDENT;
}

// The token after white space and comments.
int lex_token(EcReader* r, ECPRG_STYPE* lval, unsigned* pos) {
    for (;;) {
        while (cls(r->carcour) & C_SPACE) advance(r);
        *pos = current_pos(r);
        if (r->carcour == -1) return -1;
        int c = r->carcour;
        int k = cls(c);
        if (k & C_DIGIT) return read_number(r, lval);
        if (k & C_LETTER) return read_word(r, lval);
        if (k & C_SEP1) {
            advance(r);
            return c;
        }
        if (k & C_SEP2) {
            int c2 = advance(r);
            if (c == '(' && c2 == '*') {
                // Block comment: the '*' of "(*" already counts as the
                // previous character, so "(*)" is complete. No nesting.
                int prev = c2;
                while (advance(r) != -1 && !(prev == '*' && r->carcour == ')')) prev = r->carcour;
                advance(r);
                continue;
            }
            if (c == '-' && c2 == '-') {
                // Line comment up to and including the newline.
                while (advance(r) != -1 && r->carcour != '\n') {
                }
                advance(r);
                continue;
            }
            for (const LexKeyword& s : SpecKeywords) {
                if (s.text[0] == c && s.text[1] == c2) {
                    advance(r);
                    return s.code;
                }
            }
            return c;
        }
        // Unknown character (a byte outside ASCII, a NUL, '[', '$', ...); it
        // is not consumed. A NUL is shown as \0 so that the message stays
        // one whole C string.
        char shown[3] = {(char)c, '\0', '\0'};
        if (c == 0) {
            shown[0] = '\\';
            shown[1] = '0';
        }
        lex_error(r, 0, "lexical error: unknown char '%d' (%s), line '%d'", c, shown, r->yyline);
        return -1;
    }
}

int lex_start(EcReader* r, int start_token) {
    r->yyline = 1;
    r->boot = start_token;
    advance(r);
    return r->carcour != -1;
}

}  // namespace

// ---------------------------------------------------------------- interface

EcReader::EcReader(EcPrg* program, SymbolTable* table)
    : lines(nullptr), own_lines(new SourceMap), prg(program), symbols(table) {
    lines = own_lines.get();
}

int yylexInitFile(EcReader* r, int start_token, ReadSource* f) {
    r->file = f;
    if (!r->window) r->window.reset(new unsigned char[kWindow]);
    r->start = r->cur = r->end = r->window.get();
    r->base = 0;
    r->eof = f == nullptr;
    return lex_start(r, start_token);
}

int yylexInitString(EcReader* r, int start_token, const char* text) {
    r->file = nullptr;
    r->start = r->cur = reinterpret_cast<const unsigned char*>(text ? text : "");
    r->end = r->cur + strlen(reinterpret_cast<const char*>(r->cur));
    r->base = 0;
    r->eof = false;
    return lex_start(r, start_token);
}

int ecprg_lex(ECPRG_STYPE* lval, ECPRG_LTYPE* lloc, EcReader* r) {
    if (r->boot != 0) {
        *lloc = 0;
        r->result = r->boot;
        r->boot = 0;
        return r->result;
    }
    r->result = lex_token(r, lval, lloc);
    // A lexical error ends the tokens where it was found.
    if (r->result == -1 && !r->failure.lexical.empty()) *lloc = r->failure.pos;
    return r->result;
}

bool is_ec_identifier(const char* text) {
    size_t n = strlen(text);
    if (n == 0 || n > LEX_MAX_TEXT || (cls((unsigned char)text[0]) & C_DIGIT)) return false;
    for (size_t i = 0; i < n; ++i)
        if (!(cls((unsigned char)text[i]) & C_LETTER)) return false;
    return find_keyword(text, (int)n) < 0;
}

const char* printLexeme(EcReader* r, int code) {
    if (code == -1) return "EOF";
    if (code >= 0 && code < 256 && (cls(code) & (C_SEP1 | C_SEP2))) {
        r->lexeme[0] = (char)code;
        r->lexeme[1] = '\0';
        return r->lexeme;
    }
    if (code == INT_LITERAL || code == IDENT || code == REAL_LITERAL) return r->last_text;
    for (const LexKeyword& k : Keywords)
        if (k.code == code) return k.text;
    for (const LexKeyword& k : SpecKeywords)
        if (k.code == code) return k.text;
    return "(unknown lexeme...)";
}
