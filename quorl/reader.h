// Entry points of the ec reader: a whole program from a file, or one
// expression from a file or a string, read straight into an EcPrg.
//
// One parse runs at a time (the reader state is module-level); parses are
// never nested. Errors are recorded in the program's error message.
#ifndef QUORL_READER_H
#define QUORL_READER_H

#include <cstdio>

class EcPrg;
class Exp;
class SymbolTable;

// Whole program from an open file (read from its current position).
// 0 accepted, 1 syntax error, 2 parse stack exhausted ("memory exhausted").
int EcParseFile(EcPrg* prg, SymbolTable* symbols, FILE* f);
// The same on the file at path; 1 (and a message on standard error) when
// it cannot be opened, the program untouched.
int EcParse(EcPrg* prg, SymbolTable* symbols, const char* path);

// One expression. 0 and the root node in *result, or 1 and null in *result
// when the text is not an expression or an identifier in it is undeclared.
int EcExpParseFile(EcPrg* prg, SymbolTable* symbols, FILE* f, Exp** result);
int EcExpParseString(EcPrg* prg, SymbolTable* symbols, const char* text, Exp** result);

// The debugging entry EcLexTest (token stream of a file) is declared with
// the lexer, in quorl/lexer.h.

// Parser state, for tests and diagnostics.
extern Exp* ecexp;        // root of the last accepted expression parse
extern int ecprg_char;    // lookahead token
extern int ecprg_nerrs;   // syntax errors of the current parse
// ecprg_parse() itself is declared in the header bison generates.

#endif
