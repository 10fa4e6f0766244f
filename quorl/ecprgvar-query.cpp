// Program-object operations that make, replace, print and query the
// program: init, load, loadch, dump, profile, the counts, and the names and
// types of inputs, outputs and locals.
#include <unistd.h>

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

int EcPrgVar::no_program(const char* operation) { return call_error("%s %s: no file loaded", name(), operation); }

// Results are texts owned by the object (interned), valid until its next reset.
int EcPrgVar::set_result(const char* text) {
    Tcl_SetResult(owner->interp, const_cast<char*>(text), TCL_STATIC);
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

int EcPrgVar::init(const char* operation, int count, const char** parameters) {
    if (count > 1) return call_error("usage: %s %s [<node-name>]", name(), operation);
    const char* node = count == 1 ? parameters[0] : name();
    // Names are interned at most SymbolTable::kMaxName characters long; a
    // longer one would silently become another name, so it is refused.
    if (strlen(node) > (size_t)SymbolTable::kMaxName)
        return call_error("%s %s : node name longer than %d characters", name(), operation,
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
// Closes a stdio stream in every outcome.
struct StreamCloser {
    FILE* f;
    ~StreamCloser() {
        if (f) (void)fclose(f);  // a read stream: closing cannot lose data
    }
};
}  // namespace

// "load" reads a file; "loadch" an open Tcl channel, through a stdio stream
// on a duplicate of the channel's descriptor: closing that stream after the
// parse leaves the channel and its own descriptor open for the script, while
// the reading position they share moves past what was read.
int EcPrgVar::load(const char* operation, int count, const char** parameters) {
    if (count != 1) return call_error("usage: %s %s <ec-file-name>", name(), operation);
    const char* source = parameters[0];
    StreamCloser input{nullptr};
    if (strcmp(operation, "load") == 0) {
        input.f = fopen(source, "r");
        if (input.f == nullptr) return call_error("%s: can't open file '%s'", operation, source);
    } else {
        int mode = 0;
        Tcl_Channel channel = Tcl_GetChannel(owner->interp, source, &mode);
        if (channel == nullptr) return call_error("%s: invalid channel '%s'", operation, source);
        ClientData handle = nullptr;
        if (!(mode & TCL_READABLE) || Tcl_GetChannelHandle(channel, TCL_READABLE, &handle) != TCL_OK)
            return call_error("%s: channel '%s' is unreadable", operation, source);
        int descriptor = dup(static_cast<int>(reinterpret_cast<intptr_t>(handle)));
        if (descriptor >= 0) {
            input.f = fdopen(descriptor, "r");
            if (input.f == nullptr) close(descriptor);
        }
        if (input.f == nullptr) return call_error("%s: can't open file des. of channel '%s'", operation, source);
    }
    Verbose("loading %s ....\n", source);

    // The new program is built aside: the current one stays on any failure.
    std::unique_ptr<SymbolTable> table(new SymbolTable());
    std::unique_ptr<EcPrg> program(new EcPrg(table.get()));
    int status = EcParseFile(program.get(), table.get(), input.f);
    (void)fclose(input.f);  // a read stream: closing cannot lose data
    input.f = nullptr;
    if (status != 0) {
        program.reset();  // the program first: it refers to its table
        return call_error("%s: syntax errors while parsing '%s'", operation, source);
    }
    if (program->name() == 0) {
        program.reset();
        return call_error("%s: can't load node ('%s' is empty)", operation, source);
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

// --------------------------------------------------------------- dump

// A program with no inputs or outputs, or with variables lacking equations,
// is printed as the printer writes it: the dump never refuses a program.
int EcPrgVar::dump(const char* operation, int count, const char** parameters) {
    if (count >= 2) return call_error("usage: %s %s [<ec-file-name>]", name(), operation);
    if (prg == nullptr) return no_program(operation);
    FILE* out = stdout;
    const char* target = "stdout";
    if (count == 1) {
        target = parameters[0];
        out = fopen(target, "w");
        if (out == nullptr) return call_error("%s: can't open file '%s'", operation, target);
    }
    Verbose("--dumping in %s ....\n", target);
    PtyStream* stream = nullptr;
    try {
        stream = new PtyStream(out, 80, nullptr);
    } catch (...) {
        if (out != stdout) (void)fclose(out);  // nothing was written yet
        throw;
    }
    std::unique_ptr<PtyStream> closer(stream);  // flushes; closes a named file
    prg->print_lus(stream);
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

// "name in-types : out-types". Every step of the text is interned while it
// fits a symbol (SymbolTable::kMaxName characters); a longer profile (many
// thousands of variables) is handed to Tcl as a copy instead of being cut.
// The level-2 trace has no parameter to show in its second field: it shows
// the object's name there.
int EcPrgVar::profile(const char* operation, int count, const char**) {
    if (count != 0) return call_error("%s %s: no parameter expected", name(), operation);
    if (prg == nullptr) return no_program(operation);
    const size_t fits = SymbolTable::kMaxName;
    std::string text = (*symbols)[prg->name()];
    auto intern = [&] {
        if (text.size() <= fits) symbols->add("%s", text.c_str());
    };
    int id = 0;
    for (int i = 0; prg->input_at(i, &id) == 0; ++i) {
        text += ' ';
        text += type_name(variable_type(prg, id), "?");
        intern();
    }
    text += " :";
    intern();
    for (int i = 0; prg->output_at(i, &id) == 0; ++i) {
        text += ' ';
        text += type_name(variable_type(prg, id), "?");
        intern();
    }
    Verbose(2, "=> %s %s: %s\n", operation, name(), text.c_str());
    if (text.size() <= fits) return set_result((*symbols)[symbols->find("%s", text.c_str())]);
    Tcl_SetResult(owner->interp, const_cast<char*>(text.c_str()), TCL_VOLATILE);
    return TCL_OK;
}

// --------------------------------------------------------------- counts

int EcPrgVar::nbelts(const char* operation, int count, const char**) {
    if (count != 0) return call_error("%s %s: no parameter expected", name(), operation);
    if (prg == nullptr) return no_program(operation);
    int value;
    if (operation == NBINPUTS)
        value = prg->nb_inputs();
    else if (operation == NBOUTPUTS)
        value = prg->nb_outputs();
    else if (operation == NBLOCALS)
        value = prg->nb_locals();
    else if (operation == NBASSERTS)
        value = prg->nb_asserts();
    else
        value = prg->nb_u_funcs();
    const char* text = (*symbols)[symbols->add("%d", value)];
    Verbose(2, "=> %s : %d\n", operation, value);
    return set_result(text);
}

// --------------------------------------------------------------- variables

namespace {
// The variable at `index' of the list an operation names, in constant time;
// 0 and *id set, or nonzero when there is no such position.
int variable_at(EcPrg* prg, const char* operation, int index, int* id) {
    if (operation == INNAME || operation == INTYPE) return prg->input_at(index, id);
    if (operation == OUTNAME || operation == OUTTYPE) return prg->output_at(index, id);
    return prg->local_at(index, id);
}
}  // namespace

int EcPrgVar::varname(const char* operation, int count, const char** parameters) {
    if (count != 1) return call_error("usage: %s %s <index>", name(), operation);
    if (prg == nullptr) return no_program(operation);
    int index = 0, id = 0;
    if (monatoi(parameters[0], &index) != 0) return call_error("usage: %s %s <index>", name(), operation);
    if (variable_at(prg, operation, index, &id) != 0)
        return call_error("%s %s : index out of bounds", name(), operation);
    const char* result = (*symbols)[id];
    Verbose(2, "=> %s %s: %s\n", operation, parameters[0], result);
    return set_result(result);
}

// A variable declared with an undeclared type name has no type: its type
// reads "<unamed-type>", as a type without a name does.
int EcPrgVar::vartype(const char* operation, int count, const char** parameters) {
    if (count != 1) return call_error("usage: %s %s <index>", name(), operation);
    if (prg == nullptr) return no_program(operation);
    int index = 0, id = 0;
    if (monatoi(parameters[0], &index) != 0) return call_error("usage: %s %s <index>", name(), operation);
    if (variable_at(prg, operation, index, &id) != 0)
        return call_error("%s %s : index out of bounds", name(), operation);
    const char* result = type_name(variable_type(prg, id), "<unamed-type>");
    Verbose(2, "=> %s %s: %s\n", operation, parameters[0], result);
    return set_result(result);
}
