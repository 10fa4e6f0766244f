// The variable arguments of a function, taken and given back around one
// statement.
#ifndef CORVEL_WITH_ARGS_H
#define CORVEL_WITH_ARGS_H

#include <cstdarg>

// Runs body with `args', the variable arguments after the parameter `last'.
#define WITH_ARGS(last, body) \
    do {                      \
        va_list args;         \
        va_start(args, last); \
        body;                 \
        va_end(args);         \
    } while (0)

#endif
