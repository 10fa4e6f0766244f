// Hand-written scanner of ec text: turns a file or a NUL-terminated string
// into the token stream pulled by the ec parser through ecprg_lex().
//
// All scanner state is module-level (one parse at a time, never nested) and
// is set up again by yylexInitFile / yylexInitString.
#ifndef QUORL_LEXER_H
#define QUORL_LEXER_H

#include <cstdio>

#include "ecprg.tab.h"  // token codes (258..295) and ecprg_lval

class EcPrg;
class SymbolTable;

// Longest text a token can carry, NUL excluded.
enum { LEX_MAX_TEXT = 1023 };

// ---------------------------------------------------------------- state
extern FILE* YY_infile;         // the input file, when reading a file
extern const char* YY_instring; // read position in the input string; when
                                // set it is the source
extern int carcour;             // current character, -1 at end of input
extern int yyline;              // current line, from 1
extern int YYLEX_BOOT;          // start token still to deliver, 0 once done
extern int YY_result;           // code of the last token returned
extern char buffer[LEX_MAX_TEXT + 1];     // text of the word/number/pair read
extern char lexemeBuff[LEX_MAX_TEXT + 1]; // printLexeme's one-char rendering
extern EcPrg* YY_ecprg;         // program being read (lexical errors go there)
extern SymbolTable* YY_Symbols; // its symbol table

// ---------------------------------------------------------------- keywords
struct LexKeyword {
    const char* text;
    int code;
    int carries_text;  // 1 when the token value receives the text
};
extern const LexKeyword Keywords[27];
extern const LexKeyword SpecKeywords[6];

// ---------------------------------------------------------------- operations
// Start the scanner on a file (read from its current position) or on a
// NUL-terminated string; start_token is delivered first. Returns 1 when the
// first character is not end of input, else 0.
int yylexInitFile(int start_token, FILE* f);
int yylexInitString(int start_token, const char* text);

// Reads the next character of the current source into *c and returns it;
// -1 at end of input (sticky). A newline adds one to yyline.
int GetChar(int* c);

// Next token code; -1 at end of input or after a lexical error.
int ecprg_lex();

// Text standing for a token code in messages.
const char* printLexeme(int code);

// Debugging entry: prints the token stream of a file on standard output.
// Returns 0, or 1 when the file cannot be opened.
int EcLexTest(SymbolTable* symbols, const char* path);

#endif
