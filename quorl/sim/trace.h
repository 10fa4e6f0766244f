// A run's trace as text (CSV, RIF, VCD), and the inputs of a run read from
// text (CSV, RIF). Text goes to a sink and comes from a source: a Tcl channel
// for the program objects, a string for the tests.
#ifndef QUORL_SIM_TRACE_H
#define QUORL_SIM_TRACE_H

#include <cstddef>
#include <string>
#include <vector>

#include "quorl/sim/engine.h"
#include "quorl/sim/history.h"
#include "quorl/sim/value.h"

enum class TraceFormat { CSV, RIF, VCD };

class TextSink {
public:
    virtual ~TextSink() = default;
    virtual bool write(const char* data, size_t n) = 0;
};

class TextSource {
public:
    virtual ~TextSource() = default;
    // Up to n bytes into buf: their count, 0 at the end, -1 on a failure.
    virtual long read(char* buf, size_t n) = 0;
};

// A column of a trace: a kept variable of the history.
struct TraceVar {
    std::string name;
    const SimType* type;
    bool input;
    size_t column;  // in the history
};

// Writes the kept steps from..to (both included) as `format', the text
// ending with a newline; false when the sink fails.
//   CSV: "step,NAME,...", a row per step; bools 1/0; nil and absent empty.
//   RIF: #program, #inputs and #outputs with types, then per step "#step N",
//        the inputs' values and "#outs" with the others'; bools t/f, nil and
//        absent "nil".
//   VCD: a $var per variable (bool wire 1, int integer 32, real real 64,
//        enumerations and external values string), the step as the time,
//        the changes only, x (or NaN for a real) for nil and absent.
bool write_trace(TraceFormat format, const std::string& program, const std::vector<TraceVar>& vars,
                 const History& history, uint64_t from, uint64_t to, const ValueCodec& codec,
                 TextSink* out_sink);

// The inputs of the steps of a run, read from CSV (a header naming inputs,
// in any order, a "step" column ignored; a row per step; an empty cell
// keeps the input's value) or RIF (#inputs names the values of each #step;
// other pragmas, and #outs with what follows it up to the next #step, are
// passed over; nil keeps the value).
class InputReader {
public:
    // names and types: the program's inputs, in order; others: the names of
    // its other variables, whose columns are passed over (a trace has them).
    InputReader(TraceFormat format, TextSource* source, std::vector<std::string> names,
                std::vector<const SimType*> types, std::vector<std::string> others,
                ValueCodec* codec);
    // 1 and *row for the next step; 0 at the end; -1 with *input (the input
    // concerned, or "") and *why when the text is wrong.
    int next(StepInputs* row, std::string* input, std::string* why);

private:
    bool line(std::string* out);  // false at the end
    int header(std::string* input, std::string* why);
    int csv_row(StepInputs* row, std::string* input, std::string* why);
    int rif_step(StepInputs* row, std::string* input, std::string* why);
    int value(size_t place, const std::string& text, StepInputs* row, std::string* input,
              std::string* why);
    std::string where() const;

    TraceFormat _format;
    TextSource* _source;
    std::vector<std::string> _names;
    std::vector<const SimType*> _types;
    std::vector<std::string> _others;
    ValueCodec* _codec;
    std::string _buffer;
    size_t _at = 0;
    bool _end = false;
    bool _failed = false;
    long _line = 0;
    bool _started = false;
    std::vector<int> _columns;  // the input of each column / value, -1 for none
    std::vector<std::string> _pending;  // RIF tokens read but not used yet
    bool _have_step = false;             // RIF: a #step was read
};

#endif
