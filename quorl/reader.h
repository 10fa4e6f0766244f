// Entry points of the ec reader: a whole program from a file, or one
// expression from a string, read straight into an EcPrg. Each parse has a
// state of its own; the errors go to the program's last-error text.
#ifndef QUORL_READER_H
#define QUORL_READER_H

#include <cstdio>
#include <string>

#include "quorl/source.h"

class EcPrg;
class Exp;
class SymbolTable;

// Where a parse stopped: the token that a syntax error or the parse stack
// met, or the character that a lexical error met.
struct ReadFailure {
    SourcePos where;     // {0, 0} when nothing went wrong
    std::string near;    // the token's text, "EOF" at the end of the text
    int read_error = 0;  // errno of a failed read of the file, 0 when none
};

// Whole program from an open file (read from its current position); symbols
// is the program's table. 0 accepted, 1 syntax error, 2 parse stack
// exhausted ("memory exhausted"). The program keeps the positions of what
// it read and what the reader noted (quorl/source.h); *failure, when given,
// says where the parse stopped or where a lexical error ended the text.
int EcParseFile(EcPrg* prg, SymbolTable* symbols, FILE* f, ReadFailure* failure = nullptr);

// One expression. 0 and the root node in *result, or 1 and null in *result
// when the text is not an expression or an identifier in it is undeclared.
int EcExpParseString(EcPrg* prg, SymbolTable* symbols, const char* text, Exp** result);

// One expression read into the program and typed: the typed root, or null
// after taking back every node and record the attempt added (the message of
// the reader or the type checker stays). Interned names and tuple types made
// while typing stay: they change nothing of the program.
Exp* exp_parse(EcPrg* prg, const char* text);

#endif
