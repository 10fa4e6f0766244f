// Options of the program-object operations.
#include "quorl/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

OptionWords read_options(const std::vector<OptionRule>& table, int count, const char* const* words,
                         bool strict) {
    OptionWords found;
    found.value.assign(table.size(), nullptr);
    for (int i = 0; i < count; ++i) {
        const char* word = words[i];
        size_t k = 0;
        while (k < table.size() && strcmp(word, table[k].name) != 0) ++k;
        if (k == table.size()) {
            if (strict) {
                found.status = OptionWords::UNKNOWN;
                found.fault = word;
                return found;
            }
            found.positional.push_back(word);
            continue;
        }
        const OptionRule& rule = table[k];
        if (rule.once && found.value[k]) {
            found.status = OptionWords::TWICE;
            found.fault = word;
            return found;
        }
        if (!rule.takes_value) {
            found.value[k] = rule.name;
            continue;
        }
        if (i + 1 == count) {
            found.status = OptionWords::NO_VALUE;
            found.fault = word;
            return found;
        }
        found.value[k] = words[++i];
    }
    return found;
}

bool option_integer(const OptionWords& found, int i, long min, long max, long* value) {
    if (!found.given(i)) return true;
    const char* text = found.value[(size_t)i];
    char* end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < min || v > max) return false;
    *value = v;
    return true;
}

std::string option_error(const std::vector<OptionRule>& table, const OptionWords& found) {
    std::string word = found.fault ? found.fault : "";
    switch (found.status) {
        case OptionWords::NO_VALUE: return "option \"" + word + "\" needs a value";
        case OptionWords::TWICE: return "option \"" + word + "\" given twice";
        default: break;
    }
    std::string text = "bad option \"" + word + "\": must be ";
    for (size_t k = 0; k < table.size(); ++k) {
        if (k > 0) text += k + 1 == table.size() ? " or " : ", ";
        text += table[k].name;
    }
    return text;
}
