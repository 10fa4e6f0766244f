// printf-style formats.
#ifndef CORVEL_FORMAT_H
#define CORVEL_FORMAT_H

#include <cstdarg>

// The string argument of the format "%s", or null for any other format (or
// a null argument): the usual "%s" needs no formatting at all.
inline const char* plain_string_argument(const char* format, va_list args) {
    if (format[0] != '%' || format[1] != 's' || format[2] != '\0') return nullptr;
    va_list copy;
    va_copy(copy, args);
    const char* s = va_arg(copy, const char*);
    va_end(copy);
    return s;
}

#endif
