// Entry points of the ec reader: a whole program from a file, or one
// expression from a string, read straight into an EcPrg. Each parse has a
// state of its own; the errors go to the program's last-error text.
#ifndef QUORL_READER_H
#define QUORL_READER_H

#include <cstdio>
#include <string>

#include "quorl/read_failure.h"

class EcPrg;
class Exp;
class SymbolTable;

// Where a whole-program parse reads its text.
class ReadSource {
public:
    virtual ~ReadSource() = default;
    // Up to n bytes into buf: their count, 0 at the end, -1 on a failure
    // (errno set), kInterrupted when the reading was stopped.
    virtual long read(unsigned char* buf, size_t n) = 0;
    static const long kInterrupted = -2;
};

// A stdio stream, read from its current position.
class FileSource : public ReadSource {
public:
    explicit FileSource(FILE* f) : _f(f) {}
    long read(unsigned char* buf, size_t n) override;

private:
    FILE* _f;
};

// Status of a parse whose reading was stopped (see ReadSource).
const int kParseInterrupted = 3;

// Whole program from an open file (read from its current position); symbols
// is the program's table. 0 accepted, 1 syntax error, 2 parse stack
// exhausted ("memory exhausted"). The program keeps the positions of what
// it read and what the reader noted (quorl/source.h); *failure, when given,
// receives what went wrong (quorl/read_failure.h).
int EcParseFile(EcPrg* prg, SymbolTable* symbols, FILE* f, ReadFailure* failure = nullptr);
// The same from any source; kParseInterrupted when the source was stopped,
// whatever was read before. A UTF-8 byte-order mark that begins the text is
// passed over.
int EcParseSource(EcPrg* prg, SymbolTable* symbols, ReadSource* source,
                  ReadFailure* failure = nullptr);

// One expression. 0 and the root node in *result, or 1 and null in *result
// when the text is not an expression or an identifier in it is undeclared.
int EcExpParseString(EcPrg* prg, SymbolTable* symbols, const char* text, Exp** result,
                     ReadFailure* failure = nullptr);

// One expression read into the program and typed: the typed root, or null
// after taking back every node and record the attempt added (the message of
// the reader or the type checker stays). Interned names and tuple types made
// while typing stay: they change nothing of the program.
Exp* exp_parse(EcPrg* prg, const char* text);

#endif
