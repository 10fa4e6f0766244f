// Options of the program-object operations: the words of a call read
// against a small table of "-name" or "-name value" options. Every
// operation that takes options reads them here, so that they are read
// alike (an option given twice, a value missing, a word that is no option).
#ifndef QUORL_OPTIONS_H
#define QUORL_OPTIONS_H

#include <string>
#include <vector>

struct OptionRule {
    const char* name;  // "-ec", "-max", ...
    bool takes_value;
    bool once;  // given twice is an error; else the last one counts
};

// What read_options found. value[i] is the value of the table's option i (for
// a flag, its name), or null when it was not given.
struct OptionWords {
    enum Status { OK, UNKNOWN, NO_VALUE, TWICE };
    Status status = OK;
    const char* fault = nullptr;  // the word at fault
    std::vector<const char*> value;
    std::vector<const char*> positional;  // the words that are no option, in order

    bool given(int i) const { return value[(size_t)i] != nullptr; }
};

// Reads `count' words against the table. With `strict', a word that is no
// option of the table is UNKNOWN; otherwise it is a positional word (a file
// named "-x" is a file). OK when every word was read.
OptionWords read_options(const std::vector<OptionRule>& table, int count, const char* const* words,
                         bool strict);

// The value of option i as a decimal integer within [min, max] into *value
// (left as it is when the option was not given); false when the value is
// not one (no digits, text after them, or out of the range).
bool option_integer(const OptionWords& found, int i, long min, long max, long* value);

// The message of a failed read in Tcl's usual form: 'bad option "-x": must
// be -a, -b or -c', 'option "-x" needs a value', 'option "-x" given twice'.
std::string option_error(const std::vector<OptionRule>& table, const OptionWords& found);

#endif
