// A run's trace as text.
#include "quorl/sim/trace.h"

#include <cmath>
#include <cstring>

namespace {

// Collects text and hands it to the sink in large pieces.
class Out {
public:
    explicit Out(TextSink* sink) : _sink(sink) {}
    Out& operator<<(const std::string& s) {
        _buf += s;
        if (_buf.size() >= 1 << 16) flush();
        return *this;
    }
    Out& operator<<(const char* s) { return *this << std::string(s); }
    Out& operator<<(char c) { return *this << std::string(1, c); }
    bool flush() {
        if (!_buf.empty() && _ok) _ok = _sink->write(_buf.data(), _buf.size());
        _buf.clear();
        return _ok;
    }

private:
    TextSink* _sink;
    std::string _buf;
    bool _ok = true;
};

// A CSV cell: quoted when it holds a separator, a quote or a blank at an end.
std::string csv_cell(const std::string& text) {
    bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                 (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return text;
    std::string q = "\"";
    for (char c : text) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// A RIF word: an external value's text is quoted when it would not read as
// one word.
std::string rif_word(const std::string& text) {
    if (!text.empty() && text.find_first_of(" \t\r\n\"#") == std::string::npos) return text;
    std::string q = "\"";
    for (char c : text) q += c == '"' ? std::string("\\\"") : std::string(1, c);
    return q + "\"";
}

std::string type_name(const SimType& t, const ValueCodec& codec) {
    switch (t.kind) {
        case Kind::BOOL: return "bool";
        case Kind::INT: return "int";
        case Kind::REAL: return "real";
        default: return codec.type_text(t);
    }
}

std::string vcd_id(size_t k) {
    std::string id;
    do {
        id += (char)('!' + k % 94);
        k /= 94;
    } while (k > 0);
    return id;
}

std::string binary(int32_t v) {
    uint32_t u = (uint32_t)v;
    std::string bits;
    for (int b = 31; b >= 0; --b) {
        if (bits.empty() && !((u >> b) & 1) && b > 0) continue;
        bits += ((u >> b) & 1) ? '1' : '0';
    }
    return bits;
}

// A value's VCD change: its text and the variable's id.
std::string vcd_change(const SimType& t, Presence p, Val v, const ValueCodec& codec,
                       const std::string& id) {
    switch (t.kind) {
        case Kind::BOOL: return (p != PRESENT ? "x" : v.i ? "1" : "0") + id;
        case Kind::INT: return (p != PRESENT ? "bx" : "b" + binary(v.i)) + " " + id;
        case Kind::REAL: {
            if (p != PRESENT) return "rnan " + id;
            return "r" + format_real(v.r) + " " + id;
        }
        default: {
            std::string text = p != PRESENT ? "x" : codec.write(t, v);
            for (char& c : text)
                if (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = '_';
            return "s" + (text.empty() ? std::string("_") : text) + " " + id;
        }
    }
}

void csv(Out& out, const std::vector<TraceVar>& vars, const History& h, uint64_t from,
         uint64_t to, const ValueCodec& codec) {
    out << "step";
    for (const TraceVar& v : vars) out << "," << csv_cell(v.name);
    out << "\n";
    for (uint64_t s = from; s <= to; ++s) {
        out << std::to_string(s);
        for (const TraceVar& v : vars) {
            Val x{};
            out << ",";
            if (h.at(s, v.column, &x) == PRESENT) out << csv_cell(codec.write(*v.type, x));
        }
        out << "\n";
    }
}

void rif(Out& out, const std::string& program, const std::vector<TraceVar>& vars,
         const History& h, uint64_t from, uint64_t to, const ValueCodec& codec) {
    out << "#program \"" << program << "\"\n";
    for (int inputs = 1; inputs >= 0; --inputs) {
        out << (inputs ? "#inputs" : "#outputs");
        for (const TraceVar& v : vars)
            if (v.input == (inputs != 0))
                out << " \"" << v.name << "\":" << type_name(*v.type, codec);
        out << "\n";
    }
    for (uint64_t s = from; s <= to; ++s) {
        out << "#step " << std::to_string(s) << "\n";
        for (int inputs = 1; inputs >= 0; --inputs) {
            std::string line = inputs ? "" : "#outs";
            for (const TraceVar& v : vars) {
                if (v.input != (inputs != 0)) continue;
                Val x{};
                std::string word = "nil";
                if (h.at(s, v.column, &x) == PRESENT)
                    word = v.type->kind == Kind::BOOL ? (x.i ? "t" : "f")
                                                      : rif_word(codec.write(*v.type, x));
                line += line.empty() ? word : " " + word;
            }
            out << line << "\n";
        }
    }
}

void vcd(Out& out, const std::string& program, const std::vector<TraceVar>& vars,
         const History& h, uint64_t from, uint64_t to, const ValueCodec& codec) {
    out << "$version zindle $end\n$timescale 1 ms $end\n$scope module " << program << " $end\n";
    std::vector<std::string> ids;
    for (size_t k = 0; k < vars.size(); ++k) {
        ids.push_back(vcd_id(k));
        const SimType& t = *vars[k].type;
        const char* kind = t.kind == Kind::BOOL   ? "wire 1"
                           : t.kind == Kind::INT  ? "integer 32"
                           : t.kind == Kind::REAL ? "real 64"
                                                  : "string 1";
        out << "$var " << kind << " " << ids[k] << " " << vars[k].name << " $end\n";
    }
    out << "$upscope $end\n$enddefinitions $end\n";
    std::vector<std::string> last(vars.size());
    for (uint64_t s = from; s <= to; ++s) {
        bool stamped = false;
        for (size_t k = 0; k < vars.size(); ++k) {
            Val x{};
            Presence p = h.at(s, vars[k].column, &x);
            std::string change = vcd_change(*vars[k].type, p, x, codec, ids[k]);
            if (change == last[k]) continue;
            if (!stamped) out << "#" << std::to_string(s) << "\n";
            stamped = true;
            out << change << "\n";
            last[k] = change;
        }
    }
    if (from <= to) out << "#" << std::to_string(to + 1) << "\n";
}

}  // namespace

bool write_trace(TraceFormat format, const std::string& program, const std::vector<TraceVar>& vars,
                 const History& history, uint64_t from, uint64_t to, const ValueCodec& codec,
                 TextSink* out_sink) {
    Out out(out_sink);
    switch (format) {
        case TraceFormat::CSV: csv(out, vars, history, from, to, codec); break;
        case TraceFormat::RIF: rif(out, program, vars, history, from, to, codec); break;
        case TraceFormat::VCD: vcd(out, program, vars, history, from, to, codec); break;
    }
    return out.flush();
}
