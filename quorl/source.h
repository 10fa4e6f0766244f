// Where a program was read from: the lines of its text, and what the reader
// noted while reading it. A position is a byte offset of the text + 1, so
// that 0 stands for "not read from a file" (built from Tcl).
#ifndef QUORL_SOURCE_H
#define QUORL_SOURCE_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class Exp;

struct SourcePos {
    int line = 0;    // from 1; 0 when there is no position
    int column = 0;  // from 1, in bytes
};

// What the reader notes besides building the program: faults that it is
// defined to pass over (the program still loads) and that check reports,
// and the clocked declarations, whose clocks check verifies.
enum ReadNoteKind {
    NOTE_UNDECLARED,           // a name used in an expression has no declaration
    NOTE_UNDECLARED_TYPE,      // a declaration names a type that is not declared
    NOTE_REDECLARED,           // a variable, constant, enumeration value or function again
    NOTE_REDECLARED_TYPE,      // a type declared again
    NOTE_REDEFINED,            // a second equation for a variable
    NOTE_NOT_DEFINABLE,        // an equation for an input or a constant
    NOTE_UNDECLARED_VARIABLE,  // an equation for a name that has no declaration
    NOTE_CLOCKED,              // subject is declared on the clock `other'
    NOTE_UNDECLARED_FUNCTION,  // a call of a name that is not a declared function
    NOTE_READ,                 // subject is read by a statement the reader dropped
    NOTE_TRAILING,             // text after the node that a lexical error left unread
    NOTE_PASSED,               // a statement the program does not hold (SourceMap::statement)
};

struct ReadNote {
    ReadNoteKind kind;
    int subject;  // the symbol concerned
    unsigned pos;
    // NOTE_CLOCKED: the clock; NOTE_TRAILING: the text; NOTE_REDECLARED_TYPE:
    // the declaration as written (SourceMap::text); NOTE_PASSED: the statement.
    int other;
    int owner;  // the variable whose equation it was read in, or 0
};

// A statement that the program does not hold, kept so that the ec text can
// write it back and the reader, reading that, passes over it again: one
// dropped for a name it reads that has no declaration (the name stands in
// the right side as a leaf of its own), one that defines no output or
// local, an equation that a later one replaced.
struct PassedStatement {
    std::vector<int> names;  // the names it defines; none for an assertion
    const Exp* rhs;
};

class SourceMap {
public:
    // The line that starts at this offset follows.
    void new_line(unsigned offset) { _line_starts.push_back(offset); }
    SourcePos at(unsigned pos) const;
    // The same for positions asked in increasing order: *line carries the
    // line found from one call to the next (start it at 0), so that a walk
    // through the whole text costs one pass over its lines.
    SourcePos at(unsigned pos, size_t* line) const;

    void note(ReadNoteKind kind, int subject, unsigned pos, int other = 0, int owner = 0) {
        _notes.push_back(ReadNote{kind, subject, pos, other, owner});
    }
    const std::vector<ReadNote>& notes() const { return _notes; }
    // Keeps a text that a note refers to; its number for the note.
    int keep_text(std::string text) {
        _texts.push_back(std::move(text));
        return (int)_texts.size() - 1;
    }
    const std::string& text(int number) const { return _texts[(size_t)number]; }
    // Notes a statement passed over (owner: its first name, 0 for an assertion).
    void pass_over(unsigned pos, int owner, PassedStatement statement) {
        _passed.push_back(std::move(statement));
        note(NOTE_PASSED, 0, pos, (int)_passed.size() - 1, owner);
    }
    const PassedStatement& statement(int number) const { return _passed[(size_t)number]; }
    // An equation read for `owner' is replaced: what was noted in it goes.
    void forget_equation(int owner);

private:
    std::vector<unsigned> _line_starts;  // offsets of the starts of lines 2, 3, ...
    std::vector<ReadNote> _notes;
    std::vector<std::string> _texts;
    std::vector<PassedStatement> _passed;
};

#endif
