// The inputs of a run read from CSV or RIF text.
#include <algorithm>
#include <cstring>

#include "quorl/sim/trace.h"

namespace {

// The cells of a CSV line: separated by commas, quoted with "" for a quote.
std::vector<std::string> csv_cells(const std::string& line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (size_t k = 0; k < line.size(); ++k) {
        char c = line[k];
        if (quoted) {
            if (c == '"' && k + 1 < line.size() && line[k + 1] == '"') {
                cells.back() += '"';
                ++k;
            } else if (c == '"') {
                quoted = false;
            } else {
                cells.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The words of a RIF line: blank-separated, "..." with \" for a quote.
std::vector<std::string> rif_words(const std::string& line) {
    std::vector<std::string> words;
    size_t k = 0;
    while (k < line.size()) {
        while (k < line.size() && isspace((unsigned char)line[k])) ++k;
        if (k == line.size()) break;
        std::string w;
        while (k < line.size() && !isspace((unsigned char)line[k])) {
            if (line[k] == '"') {
                for (++k; k < line.size() && line[k] != '"'; ++k) {
                    if (line[k] == '\\' && k + 1 < line.size()) ++k;
                    w += line[k];
                }
                ++k;
            } else {
                w += line[k++];
            }
        }
        words.push_back(w);
    }
    return words;
}

}  // namespace

InputReader::InputReader(TraceFormat format, TextSource* source, std::vector<std::string> names,
                         std::vector<const SimType*> types, std::vector<std::string> others,
                         ValueCodec* codec)
    : _format(format), _source(source), _names(std::move(names)), _types(std::move(types)),
      _others(std::move(others)), _codec(codec) {}

std::string InputReader::where() const { return "line " + std::to_string(_line) + ": "; }

bool InputReader::line(std::string* out) {
    for (;;) {
        size_t nl = _buffer.find('\n', _at);
        if (nl != std::string::npos || _end) {
            if (_at >= _buffer.size() && _end) return false;
            size_t stop = nl == std::string::npos ? _buffer.size() : nl;
            *out = _buffer.substr(_at, stop - _at);
            if (!out->empty() && out->back() == '\r') out->pop_back();
            _at = stop + 1;
            ++_line;
            return true;
        }
        _buffer.erase(0, _at);
        _at = 0;
        char block[1 << 16];
        long got = _source->read(block, sizeof block);
        if (got < 0) {
            _failed = true;
            _end = true;
        } else if (got == 0) {
            _end = true;
        } else {
            _buffer.append(block, (size_t)got);
        }
    }
}

int InputReader::value(size_t place, const std::string& text, StepInputs* row, std::string* input,
                       std::string* why) {
    std::string fault;
    const SimType& t = *_types[place];
    if (_format == TraceFormat::RIF && t.kind == Kind::BOOL) {
        if (text == "t" || text == "true" || text == "1") {
            row->value[place].i = 1;
        } else if (text == "f" || text == "false" || text == "0") {
            row->value[place].i = 0;
        } else {
            *input = _names[place];
            *why = where() + "'" + text + "' is not a bool";
            return -1;
        }
        row->given[place] = 1;
        return 1;
    }
    if (!_codec->read(t, text.c_str(), &row->value[place], &fault)) {
        *input = _names[place];
        *why = where() + "'" + text + "': " + fault;
        return -1;
    }
    row->given[place] = 1;
    return 1;
}

// The names of the columns (CSV) or values (RIF).
int InputReader::header(std::string* input, std::string* why) {
    std::string text;
    while (line(&text)) {
        std::vector<std::string> names;
        if (_format == TraceFormat::CSV) {
            if (trimmed(text).empty()) continue;
            for (const std::string& c : csv_cells(text)) names.push_back(trimmed(c));
        } else {
            std::vector<std::string> words = rif_words(text);
            if (words.empty() || words[0] != "#inputs") continue;
            for (size_t k = 1; k < words.size(); ++k) {
                size_t colon = words[k].rfind(':');
                names.push_back(colon == std::string::npos ? words[k] : words[k].substr(0, colon));
            }
        }
        for (const std::string& n : names) {
            int place = -1;
            for (size_t k = 0; k < _names.size(); ++k)
                if (_names[k] == n) place = (int)k;
            bool other = (_format == TraceFormat::CSV && n == "step") ||
                         std::find(_others.begin(), _others.end(), n) != _others.end();
            if (place < 0 && !other) {
                *input = n;
                *why = where() + "'" + n + "' is not an input";
                return -1;
            }
            if (place >= 0 && std::find(_columns.begin(), _columns.end(), place) != _columns.end()) {
                *input = n;
                *why = where() + "'" + n + "' is named twice";
                return -1;
            }
            _columns.push_back(place);
        }
        _started = true;
        return 1;
    }
    *input = "";
    *why = _format == TraceFormat::CSV ? "no header line" : "no #inputs line";
    return -1;
}

int InputReader::csv_row(StepInputs* row, std::string* input, std::string* why) {
    std::string text;
    do {
        if (!line(&text)) return 0;
    } while (trimmed(text).empty());
    std::vector<std::string> cells = csv_cells(text);
    if (cells.size() > _columns.size()) {
        *input = "";
        *why = where() + std::to_string(cells.size()) + " cells for " +
               std::to_string(_columns.size()) + " columns";
        return -1;
    }
    for (size_t k = 0; k < cells.size(); ++k) {
        std::string cell = trimmed(cells[k]);
        if (_columns[k] < 0 || cell.empty()) continue;
        if (value((size_t)_columns[k], cell, row, input, why) < 0) return -1;
    }
    return 1;
}

// A step is "#step N" and the values of the inputs #inputs named; what
// follows them up to the next #step (#outs, the outputs) is passed over, as
// are other pragmas. A pragma runs to the end of its line.
int InputReader::rif_step(StepInputs* row, std::string* input, std::string* why) {
    std::string text;
    while (!_have_step) {
        if (!line(&text)) return 0;
        std::vector<std::string> words = rif_words(text);
        _have_step = !words.empty() && words[0] == "#step";
    }
    _have_step = false;
    std::vector<std::string> values;
    bool stop = false;
    long last = _line;  // the last line that gave values
    while (!stop && values.size() < _columns.size() && line(&text)) {
        for (const std::string& w : rif_words(text)) {
            if (w[0] == '#') {
                _have_step = w == "#step";
                stop = _have_step || w == "#outs";
                break;
            }
            values.push_back(w);
            last = _line;
        }
    }
    if (values.size() != _columns.size()) {
        *input = "";
        *why = "line " + std::to_string(last) + ": " + std::to_string(values.size()) + " values for " +
               std::to_string(_columns.size()) + " inputs";
        return -1;
    }
    for (size_t k = 0; k < _columns.size(); ++k)
        if (_columns[k] >= 0 && values[k] != "nil" &&
            value((size_t)_columns[k], values[k], row, input, why) < 0)
            return -1;
    return 1;
}

int InputReader::next(StepInputs* row, std::string* input, std::string* why) {
    row->clear(_names.size());
    if (!_started && header(input, why) < 0) return -1;
    int status = _format == TraceFormat::CSV ? csv_row(row, input, why) : rif_step(row, input, why);
    if (status == 0 && _failed) {
        *input = "";
        *why = "the input could not be read";
        return -1;
    }
    return status;
}
