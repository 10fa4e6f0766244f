// Where and why a read of ec text failed. Every failure the reader meets (a
// lexical error, a syntax error, a full parse stack, an undeclared name in
// an expression, a failed or stopped read of the file) is recorded by
// record_failure(): it writes the program's error text and error code, which
// the expression operations report, and one ReadFailure, which the entry
// points (quorl/reader.h) return and a failed load reports.
#ifndef QUORL_READ_FAILURE_H
#define QUORL_READ_FAILURE_H

#include <string>
#include <vector>

#include "quorl/source.h"

struct EcReader;

enum FailureKind {
    FAIL_LEXICAL,      // text: the scanner's message; the tokens end there
    FAIL_SYNTAX,       // text: the parser's "syntax error" or "memory exhausted"
    FAIL_UNDECLARED,   // text: a name read in an expression that has no declaration
    FAIL_READ,         // reading the file failed (error_number)
    FAIL_INTERRUPTED,  // reading the file was stopped
};

struct ReadFailure {
    // The token where the parse stopped, or the character where a lexical
    // error ended the text (after which the parser only sees its end):
    // position (quorl/source.h, 0 when none), line and column, and text
    // ("EOF" at the end of the text).
    unsigned pos = 0;
    SourcePos where;
    std::string near;
    std::string message;  // the last message the reader gave the program
    std::string lexical;  // the lexical error that ended the text, if one
    int read_error = 0;   // errno of a failed read, 0 when none
    bool interrupted = false;
    // Of a program read from a file, the text a lexical error left unread:
    // from the token it stopped in to the end of that line.
    std::string unread;

    // The cause in one text: the failed read, else the lexical error, else
    // the message; empty when nothing failed.
    std::string reason() const;
    // The error code words of a text from `path' (empty for an expression)
    // that could not be read: {INTERRUPTED path}, {IO path reason},
    // {SYNTAX path line column near reason}, or {EMPTY path} when nothing
    // failed but the text held no node.
    std::vector<std::string> code(const std::string& path) const;
};

// Records a failure of the read that r runs. `pos' is where a lexical or
// syntax error stands (quorl/source.h).
void record_failure(EcReader* r, FailureKind kind, const char* text, unsigned pos = 0,
                    int error_number = 0);

#endif
