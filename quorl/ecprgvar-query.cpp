// Program-object operations that make, replace, print and query the
// program: init, load, loadch, profile, the counts, and the names and
// types of inputs, outputs and locals.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "corvel/errors.h"
#include "corvel/pty.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/ecprgvar.h"
#include "quorl/quorl.h"
#include "quorl/reader.h"

// --------------------------------------------------------------- helpers

// Results are texts owned by the object (interned), valid until its next reset.
int EcPrgVar::set_result(const char* text) {
    Tcl_SetResult(owner->interp, const_cast<char*>(text), TCL_STATIC);
    return TCL_OK;
}

// A composed text is interned while it fits a symbol; a longer one (the
// profile of thousands of variables) is handed to Tcl as a copy instead of
// being cut.
int EcPrgVar::set_composed_result(const std::string& text) {
    if (text.size() <= (size_t)SymbolTable::kMaxName)
        return set_result((*symbols)[symbols->add("%s", text.c_str())]);
    Tcl_SetResult(owner->interp, const_cast<char*>(text.c_str()), TCL_VOLATILE);
    return TCL_OK;
}

// The name of a named type; `unnamed' for a tuple type or a missing type (a
// variable declared with an undeclared type name has none).
const char* EcPrgVar::type_name(EcType* type, const char* unnamed) {
    if (type == nullptr || !type->is_named()) return unnamed;
    const char* text = (*symbols)[type->name()];
    return text ? text : unnamed;
}

void EcPrgVar::trace_counts() {
    Verbose(2, "=> node %s\n", (*symbols)[prg->name()]);
    Verbose(2, "=> %d inputs\n", prg->nb_inputs());
    Verbose(2, "=> %d outputs\n", prg->nb_outputs());
    Verbose(2, "=> %d locals\n", prg->nb_locals());
    Verbose(2, "=> %d assertions\n", prg->nb_asserts());
}

// --------------------------------------------------------------- init

int EcPrgVar::init(const Operation& op, int count, const char** parameters) {
    const char* node = count == 1 ? parameters[0] : name();
    // Names are interned at most SymbolTable::kMaxName characters long; a
    // longer one would silently become another name, so it is refused.
    if (strlen(node) > (size_t)SymbolTable::kMaxName)
        return call_error({"LIMIT"}, "%s %s : node name longer than %d characters", name(), op.name,
                          SymbolTable::kMaxName);
    std::unique_ptr<SymbolTable> table(new SymbolTable());
    std::unique_ptr<EcPrg> program(new EcPrg(table.get()));
    program->def_name(table->add("%s", node));
    reset();
    symbols = table.release();
    prg = program.release();
    if (Verbose() >= 2) {
        Verbose(2, "%s initialized\n", name());
        trace_counts();
    }
    return TCL_OK;
}

// --------------------------------------------------------------- load

namespace {

// A descriptor read for a load: it waits for data a few milliseconds at a
// time, so that a Ctrl-C stops a load stuck on a FIFO with no writer or a
// pipe that never ends, as it stops a long one, between two blocks.
class DescriptorSource : public ReadSource {
public:
    DescriptorSource(int fd, Quorl* owner) : _fd(fd), _owner(owner), _mark(SIGINT_COUNT.load()) {}
    ~DescriptorSource() override {
        if (_fd >= 0) close(_fd);  // a read descriptor: closing cannot lose data
    }
    DescriptorSource(const DescriptorSource&) = delete;
    DescriptorSource& operator=(const DescriptorSource&) = delete;

    // Ctrl-C goes to the newest interpreter's script: it stops that
    // interpreter's loads.
    bool interrupted() const { return SIGINT_COUNT.load() != _mark && LAST_QUORL.load() == _owner; }

    long read(unsigned char* buf, size_t n) override {
        for (;;) {
            if (interrupted()) return kInterrupted;
            pollfd p{_fd, POLLIN, 0};
            int ready = poll(&p, 1, 10);
            if (ready < 0 && errno != EINTR) return -1;
            if (ready <= 0) continue;
            ssize_t got = ::read(_fd, buf, n);
            if (got >= 0) return (long)got;
            if (errno != EAGAIN && errno != EINTR) return -1;
        }
    }

private:
    int _fd;
    Quorl* _owner;
    unsigned _mark;
};

}  // namespace

// "load" reads a file, opened without waiting (a FIFO with no writer yet
// blocks no open); "loadch" an open Tcl channel, through a duplicate of its
// descriptor: the channel and its own descriptor stay open for the script,
// while the reading position they share moves past what was read.
int EcPrgVar::load(const Operation& op, int, const char** parameters) {
    const char* operation = op.name;
    const char* source = parameters[0];
    int fd = -1;
    if (op.target == FROM_FILE) {
        fd = open(source, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return call_error({"IO", source, strerror(errno)}, "%s: can't open file '%s'",
                              operation, source);
    } else {
        int mode = 0;
        Tcl_Channel channel = Tcl_GetChannel(owner->interp, source, &mode);
        if (channel == nullptr)
            return call_error({"IO", source, "no such channel"}, "%s: invalid channel '%s'",
                              operation, source);
        ClientData handle = nullptr;
        if (!(mode & TCL_READABLE) ||
            Tcl_GetChannelHandle(channel, TCL_READABLE, &handle) != TCL_OK)
            return call_error({"IO", source, "not open for reading"},
                              "%s: channel '%s' is unreadable", operation, source);
        fd = fcntl(static_cast<int>(reinterpret_cast<intptr_t>(handle)), F_DUPFD_CLOEXEC, 0);
        if (fd < 0)
            return call_error({"IO", source, strerror(errno)},
                              "%s: can't open file des. of channel '%s'", operation, source);
    }
    DescriptorSource input(fd, owner);
    Verbose("loading %s ....\n", source);

    // The new program is built aside: the current one stays on any failure.
    std::unique_ptr<SymbolTable> table(new SymbolTable());
    std::unique_ptr<EcPrg> program(new EcPrg(table.get()));
    ReadFailure failure;
    int status = EcParseSource(program.get(), table.get(), &input, &failure);
    if (status == kParseInterrupted) {
        program.reset();
        Verbose("%s: interrupted\n", source);
        return call_error(failure.code(source), "%s: interrupted while reading '%s'", operation,
                          source);
    }
    if (status != 0 || program->name() == 0) {
        // What the reader found goes to the error code and the trace; the
        // message stays the load's own.
        std::string reason = failure.reason();
        if (!reason.empty()) Verbose("%s: %s\n", source, reason.c_str());
        program.reset();  // the program first: it refers to its table
        if (status != 0)
            return call_error(failure.code(source), "%s: syntax errors while parsing '%s'",
                              operation, source);
        return call_error(failure.code(source), "%s: can't load node ('%s' is empty)", operation,
                          source);
    }
    reset();
    symbols = table.release();
    prg = program.release();
    if (Verbose() >= 2) {
        Verbose(2, "%s loaded\n", source);
        trace_counts();
    }
    return TCL_OK;
}

// --------------------------------------------------------------- profile

namespace {
// Declared type of a variable; null when it has none.
EcType* variable_type(EcPrg* prg, int id) {
    IdentInfo* info = prg->get_ident_info(id);
    return info ? info->type() : nullptr;
}
}  // namespace

// "name in-types : out-types", each step of the text interned. The level-2
// trace has no parameter to show in its second field: it shows the object's
// name there.
int EcPrgVar::profile(const Operation& op, int, const char**) {
    std::string text = (*symbols)[prg->name()];
    auto intern = [&] {
        if (text.size() <= (size_t)SymbolTable::kMaxName) symbols->add("%s", text.c_str());
    };
    auto append_types = [&](const IdList& variables) {
        int id = 0;
        for (int i = 0; variables.at(i, &id) == 0; ++i) {
            text += ' ';
            text += type_name(variable_type(prg, id), "?");
            intern();
        }
    };
    append_types(prg->inputs());
    text += " :";
    intern();
    append_types(prg->outputs());
    Verbose(2, "=> %s %s: %s\n", op.name, name(), text.c_str());
    return set_composed_result(text);
}

// --------------------------------------------------------------- counts

int EcPrgVar::nbelts(const Operation& op, int, const char**) {
    int value = 0;
    switch (op.target) {
        case ON_INPUTS: value = prg->nb_inputs(); break;
        case ON_OUTPUTS: value = prg->nb_outputs(); break;
        case ON_LOCALS: value = prg->nb_locals(); break;
        case ON_ASSERTS: value = prg->nb_asserts(); break;
        default: value = prg->nb_u_funcs(); break;
    }
    const char* text = (*symbols)[symbols->add("%d", value)];
    Verbose(2, "=> %s : %d\n", op.name, value);
    return set_result(text);
}

// --------------------------------------------------------------- variables

// The variable at the index the script gave, in the list op names: TCL_OK
// and *id set, or the call error of a bad index.
int EcPrgVar::variable_at(const Operation& op, const char* index_text, int* id) {
    int index = 0;
    bool fits = true;
    if (monatoi(index_text, &index, &fits) != 0) return usage_error(op);
    if (!fits) index = -1;  // out of range, not wrapped onto another index
    const IdList& list = op.target == ON_INPUTS    ? prg->inputs()
                         : op.target == ON_OUTPUTS ? prg->outputs()
                                                   : prg->locals();
    if (list.at(index, id) != 0)
        return call_error({"RANGE"}, "%s %s : index out of bounds", name(), op.name);
    return TCL_OK;
}

int EcPrgVar::varname(const Operation& op, int, const char** parameters) {
    int id = 0;
    if (variable_at(op, parameters[0], &id) != TCL_OK) return TCL_ERROR;
    const char* result = (*symbols)[id];
    Verbose(2, "=> %s %s: %s\n", op.name, parameters[0], result);
    return set_result(result);
}

// A variable declared with an undeclared type name has no type: its type
// reads "<unamed-type>", as a type without a name does.
int EcPrgVar::vartype(const Operation& op, int, const char** parameters) {
    int id = 0;
    if (variable_at(op, parameters[0], &id) != TCL_OK) return TCL_ERROR;
    const char* result = type_name(variable_type(prg, id), "<unamed-type>");
    Verbose(2, "=> %s %s: %s\n", op.name, parameters[0], result);
    return set_result(result);
}
