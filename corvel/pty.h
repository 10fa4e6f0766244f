// Output stream with an indentation level, a current column and a line
// width: newlines are followed by the indentation, and text that would reach
// the width is moved to a fresh line first. The stream counts the lines it
// writes, so that a printer can tell where it wrote something.
#ifndef CORVEL_PTY_H
#define CORVEL_PTY_H

#include <cstdarg>
#include <cstdio>

class TmpPtyStream;

class PtyStream {
public:
    static const int kTabMax = 19;  // longest tab string

    // tab null means three blanks. A tab string longer than kTabMax
    // characters is a caller error and ends the process with status 1.
    explicit PtyStream(FILE* f, int width = 80, const char* tab = nullptr);
    explicit PtyStream(int width = 80, const char* tab = nullptr);  // on stdout
    // "stdout" and "stderr" name the standard streams; anything else is
    // opened for writing, and failure ends the process with status 1.
    explicit PtyStream(const char* name, int width = 80, const char* tab = nullptr);
    virtual ~PtyStream();

    PtyStream(const PtyStream&) = delete;
    PtyStream& operator=(const PtyStream&) = delete;

    // Process-wide streams on stdout and stderr, made on first use.
    static PtyStream* of_stdout();
    static PtyStream* of_stderr();

    FILE* file() const { return _file; }
    int level() const { return _level; }
    int column() const { return _column; }
    int width() const { return _width; }
    // The line the next piece goes on: 1 plus the newlines written so far
    // (those of cr, lf, wrapping and copies alike).
    int line() const { return _line; }
    const char* tab_string() const { return _tab; }

    void tab();
    void untab();
    void cr();  // newline, flush, indentation
    void lf();  // newline, flush, column 0

    void put(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void vput(const char* format, va_list args);
    void put(int n);
    void put(float x);
    // Copies t's whole content: newlines become cr(), form feeds lf().
    void put(TmpPtyStream* t);

    void flush();

private:
    void set_tab(const char* tab);
    void write_text(const char* text, size_t len, bool counted);  // pieces, newlines, wraps
    void write_piece(const char* piece, size_t len);              // wrap test, then write

    FILE* _file;
    char _tab[kTabMax + 1];
    int _level;
    int _column;
    int _width;
    int _tab_len;
    int _line;
};

// A stream on an anonymous temporary file, to be copied into another stream.
class TmpPtyStream : public PtyStream {
public:
    explicit TmpPtyStream(int width = 80, const char* tab = nullptr);
};

#endif
