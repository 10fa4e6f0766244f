// Program objects: the `ecprg' command, the registry of live objects, and
// the call-error form shared by operations.
#include "quorl/ecprgvar.h"

#include <cstdarg>
#include <string>

#include "corvel/errors.h"
#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/quorl.h"
#include "quorl/simulation.h"

// --------------------------------------------------------------- object

EcPrgVar::EcPrgVar(Quorl* the_owner, EcPrgVar* the_next)
    : exp_table(nullptr),
      next(the_next),
      prev(nullptr),
      prg(nullptr),
      symbols(nullptr),
      command(nullptr),
      owner(the_owner),
      ident_counter(0) {
    if (next) next->prev = this;
}

EcPrgVar::~EcPrgVar() {
    simulation.reset();  // before the program it runs
    delete prg;
    delete symbols;
    delete exp_table;
}

EcPrgVar::Retired::~Retired() {
    prg.reset();  // the program first: it refers to its table
}

// The handle table is made when the first handle is issued.
void EcPrgVar::reset() {
    ++_generation;
    simulation.reset();  // the run is of the program that goes
    if (nref > 0) {
        std::unique_ptr<Retired> r(new Retired);
        r->prg.reset(prg);
        r->symbols.reset(symbols);
        r->exp_table.reset(exp_table);
        _retired.push_back(std::move(r));
    } else {
        delete prg;
        delete symbols;
        delete exp_table;
    }
    prg = nullptr;
    symbols = nullptr;
    exp_table = nullptr;
    ident_counter = 0;
}

void EcPrgVar::mark_gone() {
    const char* last = name();
    _gone = true;
    simulation.reset();
    _last_name = last;  // should this throw, the name is only empty
}

void EcPrgVar::release(EcPrgVar* object) {
    if (--object->nref > 0) return;
    object->_retired.clear();
    if (!object->_gone) return;
    Quorl* owner = object->owner;
    delete object;
    owner->release();
}

const char* EcPrgVar::name() const {
    // The name is read from the command token itself; the interpreter
    // argument is not consulted, which matters while an interpreter that is
    // being deleted removes its commands. Once the command is deleted, its
    // last name stands.
    if (_gone) return _last_name.c_str();
    return Tcl_GetCommandName(owner->interp, command);
}

int EcPrgVar::call_error(const ErrorWords& code, const char* format, ...) {
    // The head is assembled without printf: an object name may hold "%".
    std::string head = "Quorl: bad `";
    head += name();
    head += "' call\n=> ";
    va_list args;
    va_start(args, format);
    set_composed_error(owner->interp, head.c_str(), format, args);
    va_end(args);
    return set_error_code(owner->interp, code);
}

// Constant time: the registry is linked both ways. An object that is not
// in the list has no neighbours and is not its head.
EcPrgVar* EcPrgVar::remove(EcPrgVar* list, EcPrgVar* object) {
    if (object == nullptr || (object != list && object->prev == nullptr)) return list;
    if (object->prev) object->prev->next = object->next;
    if (object->next) object->next->prev = object->prev;
    if (list == object) list = object->next;
    object->next = object->prev = nullptr;
    return list;
}

void Quorl::remove_ecprg(EcPrgVar* object) { ecprg_list = EcPrgVar::remove(ecprg_list, object); }

// Level-2 trace of the registry: "current ecprg list : a b\n".
static void trace_registry(Quorl* owner) {
    if (Verbose() < 2) return;
    Verbose(2, "current ecprg list :");
    for (EcPrgVar* o = owner->ecprg_list; o != nullptr; o = o->next) Verbose(2, " %s", o->name());
    Verbose(2, "\n");
}

// --------------------------------------------------------------- commands

int QUORL_ecprg(ClientData client, Tcl_Interp* interp, int argc, const char* argv[]) {
    return guard_command(interp, [&] {
        Quorl* owner = static_cast<Quorl*>(client);
        if (argc < 2) return owner->cmd_error(argv[0], "<ecprg name> [<node name>]");
        EcPrgVar* object = new EcPrgVar(owner, owner->ecprg_list);
        owner->ecprg_list = object;
        owner->hold();
        // A command of that name goes first, through Tcl, so that its deletion
        // procedure and traces run now; a trace may make the name again (even
        // with ecprg), so this goes on until the name is free. Tcl would
        // otherwise discard, unknown to us, a command a trace made meanwhile.
        for (int attempt = 0; Tcl_FindCommand(interp, argv[1], nullptr, 0); ++attempt) {
            if (attempt == 100 || Tcl_DeleteCommand(interp, argv[1]) != 0) {
                owner->remove_ecprg(object);
                delete object;
                owner->release();
                Tcl_SetObjResult(
                    interp, Tcl_ObjPrintf("ecprg: the command '%s' keeps coming back", argv[1]));
                return set_error_code(interp, {"EXISTS", argv[1]});
            }
        }
        object->command = Tcl_CreateCommand(interp, argv[1], ECPRG_call, object, ECPRG_delete);
        Verbose("creation of : %s\n", object->name());
        trace_registry(owner);
        return object->run(OPERATIONS[0], argc - 2, argv + 2);  // init
    });
}

// The object goes now, or, when an operation of its own deleted it, once
// that operation returns.
void ECPRG_delete(ClientData client) {
    EcPrgVar* object = static_cast<EcPrgVar*>(client);
    Quorl* owner = object->owner;
    owner->remove_ecprg(object);
    try {
        object->mark_gone();
        Verbose("delete of : %s\n", object->name());
        trace_registry(owner);
    } catch (...) {
        // Tracing is best effort; the object goes in any case.
    }
    object->hold();
    EcPrgVar::release(object);
}
