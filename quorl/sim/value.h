// Values of a running program, and how they are read from text and written
// as text. A value is one 8-byte word: a bool (0 or 1), a 32-bit int, a
// real (an IEEE double), an enumeration value (its place in the type), or
// an external type's value (the number of its text, interned by the run).
// Nil and absence are kept beside values, never in them.
#ifndef QUORL_SIM_VALUE_H
#define QUORL_SIM_VALUE_H

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

class EcPrg;
class EcType;

union Val {
    int32_t i;
    double r;
};
static_assert(sizeof(Val) == 8, "one word per value");

enum class Kind : unsigned char { BOOL, INT, REAL, ENUM, OPAQUE };

// What the run knows of a named type: its kind and, for an enumeration, the
// names of its values in order.
struct SimType {
    uint32_t index = 0;  // its place among the codec's types
    Kind kind = Kind::INT;
    const EcType* type = nullptr;
    std::vector<int> values;  // enumeration: the symbol of each value
};

// The texts of external types' values: each distinct text gets a number,
// so that = and <> compare numbers.
class OpaqueTexts {
public:
    int intern(const std::string& text);
    const std::string& text(int id) const { return _texts[(size_t)id]; }

private:
    std::vector<std::string> _texts;
    std::unordered_map<std::string, int> _ids;
};

// Readers of a value's text, by the rules scripts know from Tcl: a bool is a
// word true/false/yes/no/on/off (any case, any unique prefix) or a number
// (not 0 is true); an int is a decimal integer, or one written with 0x, 0o
// or 0b, with an optional sign and blanks around it, within 32 bits; a
// real is a decimal or hexadecimal number, Inf or NaN. False when the text
// does not read; *why then says why.
bool read_bool(const char* text, bool* out);
bool read_int(const char* text, int32_t* out, std::string* why);
bool read_real(const char* text, double* out);

// A real as Tcl writes a double: the shortest text that reads back to the
// same double, "1.0" for a whole number, "1e+20" beyond 16 digits and
// "1e-5" below 0.0001, "Inf", "-Inf", "NaN".
std::string format_real(double x);

// Reading and writing values of a program's types.
class ValueCodec {
public:
    explicit ValueCodec(const EcPrg* prg);
    // The run's view of a named type (null for a tuple or no type).
    const SimType* type_of(const EcType* t);
    // A type by its index (SimType::index).
    const SimType& type(uint32_t index) const { return _list[index]; }
    // Reads text as a value of t: false, with the reason, when it does not.
    bool read(const SimType& t, const char* text, Val* out, std::string* why);
    std::string write(const SimType& t, Val v) const;
    // The type's name as the program writes it.
    std::string type_text(const SimType& t) const;
    OpaqueTexts& opaque() { return _opaque; }

private:
    const EcPrg* _prg;
    std::unordered_map<const EcType*, uint32_t> _types;  // index in _list
    std::deque<SimType> _list;                            // stays where it is
    OpaqueTexts _opaque;
};

#endif
