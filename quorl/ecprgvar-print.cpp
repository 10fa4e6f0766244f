// Program-object operations that print the program: dump (to standard
// output, a file or a Tcl channel) and text (the same text as the result),
// in the Lustre form or in the lossless ec form; text -places adds where the
// Lustre text declares and defines each name.
//
// A file is never left half written: the text goes to a new file beside it,
// which replaces the old one only once every byte is written and flushed to
// the disk. Any write error is a call error naming the file and the reason.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "corvel/errors.h"
#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/ecprgvar.h"
#include "quorl/options.h"
#include "quorl/quorl.h"
#include "quorl/text_places.h"

namespace {

// Where a dump goes, as parsed from its words.
struct Target {
    bool ec = false;                // the lossless ec form
    const char* channel = nullptr;  // -channel name
    const char* file = nullptr;     // a file name
    bool places = false;            // text -places
};

// Options -ec and (for dump) -channel <name> or (for text) -places, each
// once, and at most one file name (a file named like an option is written
// ./-ec). The operation's row allows text one word: -ec or -places.
bool parse_target(int count, const char** parameters, bool files, Target* t) {
    static const std::vector<OptionRule> dump_options = {{"-ec", false, true},
                                                         {"-channel", true, true}};
    static const std::vector<OptionRule> text_options = {{"-ec", false, true},
                                                         {"-places", false, true}};
    OptionWords given = read_options(files ? dump_options : text_options, count, parameters, false);
    if (given.status != OptionWords::OK || given.positional.size() > (files ? 1u : 0u))
        return false;
    t->ec = given.given(0);
    t->places = !files && given.given(1);
    t->channel = files ? given.value[1] : nullptr;
    t->file = given.positional.empty() ? nullptr : given.positional[0];
    return !(t->channel && t->file);
}

// A stdio stream onto a Tcl channel: what the printer writes goes through
// the channel's encoding and translation.
ssize_t channel_write(void* cookie, const char* data, size_t size) {
    int n = Tcl_WriteChars(static_cast<Tcl_Channel>(cookie), data, (int)size);
    if (n < 0) {
        errno = Tcl_GetErrno() ? Tcl_GetErrno() : EIO;
        return -1;
    }
    return (ssize_t)size;
}

// {declaration LINE equation LINE} of every variable and constant, keyed by
// name in the order of `vars'.
Tcl_Obj* places_dict(EcPrg* prg, SymbolTable* symbols, const TextPlaces& places) {
    Tcl_Obj* declaration = Tcl_NewStringObj("declaration", -1);
    Tcl_Obj* equation = Tcl_NewStringObj("equation", -1);
    Tcl_Obj* dict = Tcl_NewDictObj();
    for (const IdList* list : {&prg->inputs(), &prg->outputs(), &prg->locals(), &prg->usr_consts()}) {
        for (IntList* l = list->list(); l; l = l->tail()) {
            TextPlaces::Place at = places.of(l->head());
            Tcl_Obj* pair[] = {declaration, Tcl_NewIntObj(at.declaration), equation,
                               Tcl_NewIntObj(at.equation)};
            Tcl_DictObjPut(nullptr, dict, Tcl_NewStringObj((*symbols)[l->head()], -1),
                           Tcl_NewListObj(4, pair));
        }
    }
    return dict;
}

FILE* open_channel_stream(Tcl_Channel channel) {
    cookie_io_functions_t io = {nullptr, channel_write, nullptr, nullptr};
    return fopencookie(channel, "w", io);
}

// The file that a temporary file replaces: the target itself, or what a
// symbolic link names.
std::string resolved(const char* path) {
    struct stat st {};
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = realpath(path, nullptr);
        if (real) {
            std::string r = real;
            free(real);
            return r;
        }
    }
    return path;
}

// A new file beside `path', created as the target would be (its mode when
// it exists); its name in *name.
int create_beside(const std::string& path, std::string* name) {
    static unsigned counter = 0;
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat st {};
    bool exists = stat(path.c_str(), &st) == 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = dir;
        *name += "." + base + "." + std::to_string(getpid());
        *name += "." + std::to_string(__atomic_add_fetch(&counter, 1, __ATOMIC_RELAXED)) + ".tmp";
        int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            if (exists) (void)fchmod(fd, st.st_mode & 07777);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

}  // namespace

// Writes the program's text on out, which the printing stream then closes
// (unless it is stdout); with sync, the text reaches the disk first; with
// places (Lustre text only), where names are declared and defined. The
// error number of a failed write, or 0.
int EcPrgVar::write_text(FILE* out, bool ec, bool sync, TextPlaces* places) {
    PtyStream stream(out, 80, nullptr);
    errno = 0;
    if (ec)
        prg->print_ec_text(&stream);
    else
        prg->print_lus(&stream, places);
    stream.flush();
    if (ferror(out)) return errno ? errno : EIO;
    if (sync && fsync(fileno(out)) != 0) return errno;
    return 0;
}

// The lossless form needs what the ec grammar needs: an input and an output.
int EcPrgVar::check_writable(const Operation& op, bool ec) {
    if (!ec || (prg->nb_inputs() > 0 && prg->nb_outputs() > 0)) return TCL_OK;
    return call_error({"UNSUPPORTED"}, "%s %s : a node without inputs or outputs has no ec form",
                      name(), op.name);
}

int EcPrgVar::dump(const Operation& op, int count, const char** parameters) {
    Target t;
    if (!parse_target(count, parameters, true, &t)) return usage_error(op);
    if (check_writable(op, t.ec) != TCL_OK) return TCL_ERROR;
    const char* operation = op.name;
    if (t.channel) {
        int err = 0;
        {
            HeldChannel held(owner->interp, t.channel, TCL_WRITABLE);
            if (!held.get())
                return call_error({"IO", t.channel, held.fault()},
                                  strcmp(held.fault(), "no such channel") == 0
                                      ? "%s: invalid channel '%s'"
                                      : "%s: channel '%s' is unwritable",
                                  operation, t.channel);
            Verbose("--dumping in %s ....\n", t.channel);
            FILE* out = open_channel_stream(held.get());
            if (out == nullptr) throw std::bad_alloc();
            err = write_text(out, t.ec, false);
            if (err == 0 && Tcl_Flush(held.get()) != TCL_OK)
                err = Tcl_GetErrno() ? Tcl_GetErrno() : EIO;
        }
        if (err)
            return call_error({"IO", t.channel, strerror(err)},
                              "%s: can't write to channel '%s' (%s)", operation, t.channel,
                              strerror(err));
        return TCL_OK;
    }
    if (!t.file) {
        if (stdout_closed())
            return call_error({"IO", "stdout", "closed"}, "%s: standard output is closed",
                              operation);
        Verbose("--dumping in %s ....\n", "stdout");
        int err = write_text(stdout, t.ec, false);
        clearerr(stdout);
        if (err)
            return call_error({"IO", "stdout", strerror(err)},
                              "%s: can't write to standard output (%s)", operation, strerror(err));
        return TCL_OK;
    }
    return dump_file(op, t.file, t.ec);
}

// A regular file (or a new one) is replaced whole; anything else (a device,
// a FIFO) is written in place.
int EcPrgVar::dump_file(const Operation& op, const char* target, bool ec) {
    const char* operation = op.name;
    std::string path = resolved(target);
    struct stat st {};
    bool in_place = stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    std::string temporary;
    int fd = in_place ? open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC)
                      : create_beside(path, &temporary);
    if (fd < 0)
        return call_error({"IO", target, strerror(errno)}, "%s: can't open file '%s'", operation,
                          target);
    FILE* out = fdopen(fd, "w");
    if (out == nullptr) {
        close(fd);
        if (!temporary.empty()) unlink(temporary.c_str());
        throw std::bad_alloc();
    }
    Verbose("--dumping in %s ....\n", target);
    int err = write_text(out, ec, !in_place);
    if (!err && !in_place && rename(temporary.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        if (!temporary.empty()) unlink(temporary.c_str());
        return call_error({"IO", target, strerror(err)}, "%s: can't write file '%s' (%s)",
                          operation, target, strerror(err));
    }
    return TCL_OK;
}

// text ?-ec|-places?: the text dump writes, as the result; with -places,
// the list of that text and the dict of places.
int EcPrgVar::text(const Operation& op, int count, const char** parameters) {
    Target t;
    if (!parse_target(count, parameters, false, &t)) return usage_error(op);
    if (check_writable(op, t.ec) != TCL_OK) return TCL_ERROR;
    char* buffer = nullptr;
    size_t size = 0;
    // The stream sets buffer when it is closed, even when writing throws.
    std::unique_ptr<char*, void (*)(char**)> owner_of(&buffer, [](char** b) { free(*b); });
    FILE* out = open_memstream(&buffer, &size);
    if (out == nullptr) throw std::bad_alloc();
    TextPlaces places;
    int err = write_text(out, t.ec, false, t.places ? &places : nullptr);  // closes out
    if (err || size > (size_t)INT_MAX) throw std::bad_alloc();
    Tcl_Obj* text = Tcl_NewStringObj(buffer, (int)size);
    if (t.places) {
        Tcl_Obj* pair[] = {text, places_dict(prg, symbols, places)};
        text = Tcl_NewListObj(2, pair);
    }
    Tcl_SetObjResult(owner->interp, text);
    return TCL_OK;
}
