#include "corvel/pty.h"

#include "corvel/format.h"

#include <cstdlib>
#include <cstring>
#include <memory>

static FILE* open_named(const char* name) {
    if (strcmp(name, "stdout") == 0) return stdout;
    if (strcmp(name, "stderr") == 0) return stderr;
    FILE* f = fopen(name, "w");
    if (!f) {
        fprintf(stderr, "can't open file '%s'\n", name);
        exit(1);
    }
    return f;
}

static FILE* open_temporary() {
    FILE* f = tmpfile();
    if (!f) {
        fprintf(stderr, "can't open temporary file\n");
        exit(1);
    }
    return f;
}

// A tab string that does not fit its 20-byte field is a programming error:
// it is reported before any file is opened.
static const char* checked_tab(const char* tab) {
    if (tab && strlen(tab) > (size_t)PtyStream::kTabMax) {
        fprintf(stderr, "PtyStream::PtyStream : tab string longer than %d characters\n",
                PtyStream::kTabMax);
        exit(1);
    }
    return tab;
}

PtyStream::PtyStream(FILE* f, int width, const char* tab)
    : _file(f), _tab(), _level(0), _column(0), _width(width), _tab_len(0), _line(1) {
    set_tab(checked_tab(tab));
}

PtyStream::PtyStream(int width, const char* tab) : PtyStream(stdout, width, tab) {}

PtyStream::PtyStream(const char* name, int width, const char* tab)
    : PtyStream(open_named((checked_tab(tab), name)), width, tab) {}

TmpPtyStream::TmpPtyStream(int width, const char* tab) : PtyStream(open_temporary(), width, tab) {}

PtyStream::~PtyStream() {
    if (!_file) return;
    fflush(_file);
    // A destructor has nobody to tell of a failed close; the text written
    // before was flushed line by line.
    if (_file != stdout && _file != stderr) (void)fclose(_file);
}

void PtyStream::set_tab(const char* tab) {
    if (!tab) tab = "   ";
    size_t len = strlen(tab);  // checked against kTabMax on construction
    memcpy(_tab, tab, len + 1);
    _tab_len = (int)len;
}

// Made on first use, once even when threads ask at the same time; never
// destroyed.
PtyStream* PtyStream::of_stdout() {
    static PtyStream* const stream = new PtyStream(stdout, 80, nullptr);
    return stream;
}

PtyStream* PtyStream::of_stderr() {
    static PtyStream* const stream = new PtyStream(stderr, 80, nullptr);
    return stream;
}

void PtyStream::tab() { ++_level; }

void PtyStream::untab() {
    if (_level > 0)
        --_level;
    else
        fprintf(stderr, "PtyStream::untab : unbalanced untab\n");
}

// A stream is used by one thread at a time: its writes skip the stdio lock.
void PtyStream::cr() {
    putc_unlocked('\n', _file);
    ++_line;
    fflush(_file);
    for (int k = 0; k < _level; ++k) fwrite_unlocked(_tab, 1, _tab_len, _file);
    _column = _level * _tab_len;
}

void PtyStream::lf() {
    putc('\n', _file);
    ++_line;
    fflush(_file);
    _column = 0;
}

void PtyStream::flush() { fflush(_file); }

// A piece is never split: if it would reach the width, it starts a fresh
// line (without indentation) first.
void PtyStream::write_piece(const char* piece, size_t len) {
    _column += (int)len;
    if (_column >= _width) {
        putc_unlocked('\n', _file);
        ++_line;
        fflush(_file);
        _column = (int)len;
    }
    if (len) fwrite_unlocked(piece, 1, len, _file);
}

// Cuts the text at newlines (indented new line) and form feeds (new line at
// column 0). A separator ending the text is not followed by an empty piece.
// Pieces go through write_piece (wrapped, counted) or, for a copy, are
// written as they are.
void PtyStream::write_text(const char* text, size_t len, bool counted) {
    const char* p = text;
    const char* end = text + len;
    while (p < end) {
        const char* q = p;
        // Every character above '\f' (most of them) passes the first test.
        while (q < end && ((unsigned char)*q > '\f' || (*q != '\n' && *q != '\f'))) ++q;
        if (counted)
            write_piece(p, (size_t)(q - p));
        else if (q > p)
            fwrite(p, 1, (size_t)(q - p), _file);
        if (q == end) break;
        if (*q == '\n')
            cr();
        else
            lf();
        p = q + 1;
    }
}

void PtyStream::put(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vput(format, args);
    va_end(args);
}

void PtyStream::vput(const char* format, va_list args) {
    // The usual "%s" needs no formatting at all.
    if (const char* s = plain_string_argument(format, args)) {
        write_text(s, strlen(s), true);
        return;
    }
    // Small texts are formatted on the stack; a longer one is formatted
    // again into a heap buffer of its exact size, so it is written whole.
    char local[1024];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(local, sizeof local, format, copy);
    va_end(copy);
    if (n < 0) return;
    if ((size_t)n < sizeof local) {
        write_text(local, (size_t)n, true);
        return;
    }
    std::unique_ptr<char[]> big(new char[(size_t)n + 1]);
    va_copy(copy, args);
    int again = vsnprintf(big.get(), (size_t)n + 1, format, copy);
    va_end(copy);
    if (again != n) return;  // the arguments changed meanwhile: nothing sure to write
    write_text(big.get(), (size_t)n, true);
}

void PtyStream::put(int n) {
    char buf[32];
    int len = snprintf(buf, sizeof buf, "%d", n);
    write_piece(buf, (size_t)len);
}

void PtyStream::put(float x) {
    // "%f" of the largest float needs about 50 characters.
    char buf[64];
    int len = snprintf(buf, sizeof buf, "%f", (double)x);
    if (len >= (int)sizeof buf) len = (int)sizeof buf - 1;
    write_piece(buf, (size_t)len);
}

// Copies verbatim (no column bookkeeping, no wrapping), turning newlines
// into cr() and form feeds into lf() on this stream.
void PtyStream::put(TmpPtyStream* t) {
    if (!t || t == this) return;
    FILE* in = t->file();
    fflush(in);
    rewind(in);
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, in)) > 0) write_text(buf, got, false);
}
