// Hand-written scanner of ec text: turns a file or a NUL-terminated string
// into the token stream pulled by the ec parser through ecprg_lex(). The
// state of one parse, the scanner's and the grammar actions', is one
// EcReader: parses in different threads never meet.
#ifndef QUORL_LEXER_H
#define QUORL_LEXER_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ecprg.tab.h"  // token codes (258..295), ECPRG_STYPE, ecprg_parse
#include "quorl/read_failure.h"

class EcPrg;
class Exp;
class IntList;
class ReadSource;
class SourceMap;
class SymbolTable;

// Longest text a token can carry, NUL excluded.
enum { LEX_MAX_TEXT = 1023 };

// Which declarations a declaration group of the text makes.
enum DeclKind { DECL_CONSTS, DECL_INPUTS, DECL_OUTPUTS, DECL_LOCALS };

struct EcReader {
    EcReader(EcPrg* program, SymbolTable* table);
    EcReader(const EcReader&) = delete;
    EcReader& operator=(const EcReader&) = delete;

    // ---- the source: [cur, end) holds the characters not yet read. A file
    // is read into `window' a block at a time; a string is its own window.
    ReadSource* file = nullptr;  // null for a string
    std::unique_ptr<unsigned char[]> window;
    const unsigned char* start = nullptr;  // the window's first character
    const unsigned char* cur = nullptr;
    const unsigned char* end = nullptr;
    unsigned base = 0;         // offset of the window's first character in the text
    bool eof = true;  // no more characters will come

    // ---- the scanner
    int carcour = -1;                      // current character, -1 at end of input
    int yyline = 1;                        // current line, from 1
    int boot = 0;                          // start token still to deliver, 0 once delivered
    int result = 0;                        // code of the last token returned
    ReadFailure failure;                   // what went wrong, if anything (record_failure)
    SourceMap* lines;                      // where the lines of the text are recorded
    bool keep_positions = false;           // nodes and records keep positions (a file)
    std::unique_ptr<SourceMap> own_lines;  // the lines of a string
    char buffer[LEX_MAX_TEXT + 1] = {};    // the word, number or pair being read
    // The parser may read one lookahead token before it reduces the rule
    // that interns the previous token's text, so token texts rotate through
    // a ring: a text stays intact for the next three text-carrying tokens.
    char ring[4][LEX_MAX_TEXT + 1] = {};
    int ring_next = 0;
    const char* last_text = "";  // text of the last text-carrying token
    char lexeme[2] = {};         // printLexeme's one-character rendering

    // ---- what the grammar's actions build
    EcPrg* prg;
    SymbolTable* symbols;
    Exp* ecexp = nullptr;  // root of an accepted expression parse
    DeclKind decl_kind = DECL_CONSTS;
    int equation_of = 0;  // the variable of the statement being read, or 0
    // The names the statement being read has read so far: when one of its
    // names is undeclared the reader drops the statement, and these are
    // noted so that check still sees them used.
    std::vector<int> reads;
    // Of a file: whether the statement being read reads an undeclared name
    // (it is dropped); the equations it replaces, each with the tuple (or
    // null) and right side it had and where that statement was read; by
    // symbol, where the statement that gave a variable its equation was read.
    bool dropping = false;
    struct Replaced {
        int name;
        const IntList* tuple;
        const Exp* rhs;
        unsigned statement;
    };
    std::vector<Replaced> replaced;
    std::vector<unsigned> statement_of;
    // Lists under construction, innermost last: a list is a start index in
    // one of these stacks, and its elements run to the stack's top.
    std::vector<int> names;          // identifiers, or parameter name/type pairs
    std::vector<unsigned> name_pos;  // where each of them was read
    std::vector<Exp*> operands;
    // The parser's three stacks once they outgrow their first entries.
    std::vector<unsigned char> parse_stacks[3];
};

// Start the scanner on a file (read from its current position) or on a
// NUL-terminated string; start_token is delivered first. Returns 1 when the
// first character is not end of input, else 0.
int yylexInitFile(EcReader* r, int start_token, ReadSource* f);
int yylexInitString(EcReader* r, int start_token, const char* text);

// Next token code, its text (if it carries one) in lval->text and its
// position in *lloc; -1 at end of input or after a lexical error, whose
// message goes to the program.
int ecprg_lex(ECPRG_STYPE* lval, ECPRG_LTYPE* lloc, EcReader* r);

// Whether text is an identifier of the ec language: a letter or '_'
// followed by letters, digits and '_', and not a keyword.
bool is_ec_identifier(const char* text);

// Text standing for a token code in messages.
const char* printLexeme(EcReader* r, int code);

#endif
