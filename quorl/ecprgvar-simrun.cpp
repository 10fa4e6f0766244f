// The `sim' subcommands that run many steps and write traces: run, trace;
// the Tcl channels they read and write.
#include <cmath>
#include <cstring>

#include "corvel/symbols.h"
#include "quorl/ecprg.h"
#include "quorl/ecprgvar-sim.h"
#include "quorl/quorl.h"
#include "quorl/reader.h"
#include "quorl/sim/trace.h"

namespace {

// A Tcl channel as a source or a sink of text.
class ChannelSource : public TextSource {
public:
    explicit ChannelSource(Tcl_Channel channel) : _channel(channel), _obj(Tcl_NewObj()) {
        Tcl_IncrRefCount(_obj);
    }
    ~ChannelSource() override { Tcl_DecrRefCount(_obj); }
    ChannelSource(const ChannelSource&) = delete;
    ChannelSource& operator=(const ChannelSource&) = delete;
    long read(char* buf, size_t n) override {
        // Characters, at most a quarter of the room: each is at most 4 bytes.
        int got = Tcl_ReadChars(_channel, _obj, (int)(n / 4), 0);
        if (got < 0) return -1;
        int length = 0;
        const char* text = Tcl_GetStringFromObj(_obj, &length);
        memcpy(buf, text, (size_t)length);
        return length;
    }

private:
    Tcl_Channel _channel;
    Tcl_Obj* _obj;
};

class ChannelSink : public TextSink {
public:
    explicit ChannelSink(Tcl_Channel channel) : _channel(channel) {}
    bool write(const char* data, size_t n) override {
        return Tcl_WriteChars(_channel, data, (int)n) >= 0;
    }

private:
    Tcl_Channel _channel;
};

class StringSink : public TextSink {
public:
    bool write(const char* data, size_t n) override {
        text.append(data, n);
        return true;
    }
    std::string text;
};

bool format_of(const char* name, bool with_vcd, TraceFormat* format) {
    if (strcmp(name, "csv") == 0) *format = TraceFormat::CSV;
    else if (strcmp(name, "rif") == 0) *format = TraceFormat::RIF;
    else if (with_vcd && strcmp(name, "vcd") == 0) *format = TraceFormat::VCD;
    else return false;
    return true;
}

// The error of a channel that is not there, or not open as it should be.
int channel_error(SimCall& c, const char* name, const HeldChannel& held, int mode) {
    if (strcmp(held.fault(), "no such channel") == 0)
        return c.error({"IO", name, held.fault()}, std::string("invalid channel '") + name + "'");
    return c.error({"IO", name, held.fault()},
                   std::string("channel '") + name +
                       (mode == TCL_READABLE ? "' is unreadable" : "' is unwritable"));
}

// The steps -from and -to ask for (null: the first or the last kept), all
// kept; false after the error.
bool kept_range(SimCall& c, const History& h, const char* from_text, const char* to_text,
                long long* from, long long* to) {
    *from = (long long)h.first();
    *to = (long long)h.last();
    if (h.size() == 0) *from = *to + 1;
    if (from_text && !c.count_of("-from", from_text, from)) return false;
    if (to_text && !c.count_of("-to", to_text, to)) return false;
    if (*from > *to || (h.size() > 0 && *from >= (long long)h.first() && *to <= (long long)h.last()))
        return true;
    c.error({"RANGE"}, "steps " + std::to_string(*from) + " to " + std::to_string(*to) +
                           " are not all kept (kept: " +
                           (h.size() ? std::to_string(h.first()) + " to " + std::to_string(h.last())
                                     : std::string("none")) +
                           ")");
    return false;
}

// One bin of `sim history -every': what its steps hold, summed up. Values
// are ordered by their word: bools, ints and enumerations (by place) as
// integers, reals as doubles with -0.0 below 0.0 and NaN above all,
// external values in the order the run first met their texts.
class BinSummary {
public:
    explicit BinSummary(Kind kind) : _kind(kind) {}
    void add(Presence p, Val v) {
        if (p == NIL) _nil = true;
        if (p != PRESENT) {
            _other = true;
            return;
        }
        if (!_present) {
            _least = _greatest = v;
        } else {
            if (!same(v, _least)) _several = true;  // NaNs: neither is less
            if (less(v, _least)) _least = v;
            if (less(_greatest, v)) _greatest = v;
        }
        _present = true;
    }
    // p (one present value throughout), n (none present, some nil), a (all
    // absent) or m (some present, and several values or steps not present).
    char state() const {
        if (!_present) return _nil ? 'n' : 'a';
        return _other || _several ? 'm' : 'p';
    }
    Val least() const { return _least; }
    Val greatest() const { return _greatest; }

private:
    bool less(Val a, Val b) const {
        if (_kind != Kind::REAL) return a.i < b.i;
        return a.r < b.r || (std::isnan(b.r) && !std::isnan(a.r)) ||
               (a.r == b.r && std::signbit(a.r) && !std::signbit(b.r));
    }
    // The same value: the same word (so NaN is NaN, and -0.0 is not 0.0).
    bool same(Val a, Val b) const {
        if (_kind != Kind::REAL) return a.i == b.i;
        uint64_t x = 0, y = 0;
        memcpy(&x, &a.r, sizeof x);
        memcpy(&y, &b.r, sizeof y);
        return x == y;
    }
    Kind _kind;
    bool _present = false, _nil = false, _other = false, _several = false;
    Val _least{}, _greatest{};
};

}  // namespace

// sim run ?-steps N? ?-inputs CHANNEL ?-format csv|rif?? ?-until EXPRESSION?
int sim_run(SimCall& c) {
    static const std::vector<OptionRule> table = {
        {"-steps", true, true}, {"-inputs", true, true}, {"-format", true, true}, {"-until", true, true}};
    const char* usage = "?-steps N? ?-inputs CHANNEL ?-format csv|rif?? ?-until EXPRESSION?";
    OptionWords w;
    if (!c.options(table, usage, &w)) return TCL_ERROR;
    if (!w.given(0) && !w.given(1) && !w.given(3)) return c.usage(usage);
    long long limit = -1;
    if (w.given(0) && !c.count_of("-steps", w.value[0], &limit)) return TCL_ERROR;
    TraceFormat format = TraceFormat::CSV;
    if (w.given(2) && (!w.given(1) || !format_of(w.value[2], false, &format))) return c.usage(usage);
    // The channel's scripts (a reflected channel's) may close it meanwhile.
    std::unique_ptr<HeldChannel> held;
    if (w.given(1)) {
        held.reset(new HeldChannel(c.obj->owner->interp, w.value[1], TCL_READABLE));
        if (!held->get()) return channel_error(c, w.value[1], *held, TCL_READABLE);
    }
    Tcl_Channel channel = held ? held->get() : nullptr;
    std::shared_ptr<Engine> engine = c.engine(true);
    if (!engine) return TCL_ERROR;
    Engine::Probe until;
    if (w.given(3)) {
        EcPrg* prg = c.obj->prg;
        EcPrgMark mark = prg->mark();
        Exp* e = exp_parse(prg, w.value[3]);
        if (!e) {
            ErrorWords code = prg->error_code();
            return c.error(code.empty() ? ErrorWords{"EXPRESSION"} : code, prg->error_msg());
        }
        CompileError fault;
        bool ok = e->type() == prg->bool_type() && engine->compile_probe(e, &until, &fault);
        prg->rollback(mark);
        if (!ok)
            return fault.code.empty() ? c.error({"TYPE", "bool", ""}, "-until wants a bool expression")
                                      : c.error(fault.code, fault.message);
    }
    const Code& code = engine->code();
    std::unique_ptr<ChannelSource> source;
    std::unique_ptr<InputReader> reader;
    if (channel) {
        std::vector<std::string> names, others;
        std::vector<const SimType*> types;
        for (uint32_t k : code.inputs) {
            names.push_back(c.obj->prg->symbol(code.vars[k].symbol));
            types.push_back(&engine->type_of(k));
        }
        for (size_t k = code.inputs.size(); k < code.vars.size(); ++k)
            others.emplace_back(c.obj->prg->symbol(code.vars[k].symbol));
        source.reset(new ChannelSource(channel));
        reader.reset(new InputReader(format, source.get(), names, types, others, &engine->codec()));
    }
    TclFunctions functions(c.obj->owner->interp, c.simulation().bindings);
    engine->set_functions(&functions);
    struct Unset {
        Engine* e;
        ~Unset() { e->set_functions(nullptr); }
    } unset{engine.get()};
    StepInputs in;
    in.clear(code.inputs.size());
    unsigned sigint_mark = SIGINT_COUNT.load();
    Quorl* owner = c.obj->owner;
    long long made = 0;
    while (limit < 0 || made < limit) {
        if (reader) {
            std::string input, why;
            int status = reader->next(&in, &input, &why);
            if (status == 0) break;
            if (status < 0)
                return c.error({"INPUT", input, why},
                               "step " + std::to_string(engine->instant() + 1) + ": " + why);
        }
        StepFailure failure;
        if (!engine->step(in, &failure)) return c.step_error(*engine, failure);
        ++made;
        if (w.given(3)) {
            Val v{};
            int state = engine->evaluate(until, &v, &failure);
            if (state < 0) return c.step_error(*engine, failure);
            if (state == 0 && v.i) break;
        }
        // Ctrl-C goes to the newest interpreter: it stops that one's runs.
        if (SIGINT_COUNT.load() != sigint_mark && LAST_QUORL.load() == owner) break;
    }
    Tcl_SetObjResult(owner->interp, Tcl_NewWideIntObj((Tcl_WideInt)made));
    return TCL_OK;
}

// sim trace ?-format csv|rif|vcd? ?-vars NAMES? ?-from I? ?-to J? ?-channel CHAN?
int sim_trace(SimCall& c) {
    static const std::vector<OptionRule> table = {{"-format", true, true}, {"-vars", true, true},
                                                  {"-from", true, true},   {"-to", true, true},
                                                  {"-channel", true, true}};
    const char* usage = "?-format csv|rif|vcd? ?-vars NAMES? ?-from I? ?-to J? ?-channel CHAN?";
    OptionWords w;
    if (!c.options(table, usage, &w)) return TCL_ERROR;
    TraceFormat format = TraceFormat::CSV;
    if (w.given(0) && !format_of(w.value[0], true, &format)) return c.usage(usage);
    Simulation& s = c.simulation();
    if (!s.engine) return c.error({"NORUN"}, "no run: sim reset first");
    std::shared_ptr<Engine> engine = s.engine;
    const History& h = engine->history();
    const EcPrg* prg = engine->program();
    const Code& code = engine->code();
    std::vector<TraceVar> vars;
    auto add = [&](uint32_t var) {
        const SimVar& v = code.vars[var];
        IdentInfo* info = prg->get_ident_info(v.symbol);
        vars.push_back(TraceVar{prg->symbol(v.symbol), &engine->type_of(var), info->ident_mode() == INPUT_m,
                                (size_t)h.column_of(var)});
    };
    if (w.given(1)) {
        SplitList list;
        if (!list.split(c.obj->owner->interp, w.value[1])) return c.usage(usage);
        const char** names = list.items;
        for (int k = 0; k < list.count; ++k) {
            int index = c.variable(*engine, names[k], true);
            if (index < 0) return TCL_ERROR;
            add((uint32_t)index);
        }
    } else {
        size_t end = (size_t)prg->nb_inputs() + (size_t)prg->nb_outputs();
        for (uint32_t k = 0; k < end; ++k) add(k);
    }
    long long from = 0, to = 0;
    if (!kept_range(c, h, w.value[2], w.value[3], &from, &to)) return TCL_ERROR;
    if (w.given(4)) {
        HeldChannel held(c.obj->owner->interp, w.value[4], TCL_WRITABLE);
        if (!held.get()) return channel_error(c, w.value[4], held, TCL_WRITABLE);
        ChannelSink sink(held.get());
        if (!write_trace(format, prg->symbol(prg->name()), vars, h, (uint64_t)from, (uint64_t)to,
                         engine->codec(), &sink))
            return c.error({"IO", w.value[4], Tcl_ErrnoMsg(Tcl_GetErrno())},
                           std::string("can't write to channel '") + w.value[4] + "'");
        return TCL_OK;
    }
    StringSink sink;
    write_trace(format, prg->symbol(prg->name()), vars, h, (uint64_t)from, (uint64_t)to,
                engine->codec(), &sink);
    Tcl_SetObjResult(c.obj->owner->interp,
                     Tcl_NewStringObj(sink.text.data(), (int)sink.text.size()));
    return TCL_OK;
}

// sim history NAME ?-from I? ?-to J? ?-every K?: {STATES VALUES}, a
// character a step (p present, n nil, a absent) and the values of the
// present steps; with -every, a character a bin of K steps (the last one
// may have fewer; BinSummary says which character) and the value of each p
// bin, the least and greatest of each m bin. A chronogram asks for bins
// a few pixels wide, whatever the steps in sight. Ints, bools and reals
// come as numbers (Tcl writes them as the codec does), so that a script
// computes with them without reading them back.
int sim_history(SimCall& c) {
    static const std::vector<OptionRule> table = {
        {"-from", true, true}, {"-to", true, true}, {"-every", true, true}};
    const char* usage = "NAME ?-from I? ?-to J? ?-every K?";
    if (c.count < 1) return c.usage(usage);
    const char* name = c.args[0];
    ++c.args;
    --c.count;
    OptionWords w;
    if (!c.options(table, usage, &w)) return TCL_ERROR;
    long long every = 1;
    if (w.given(2) && !c.count_of("-every", w.value[2], &every)) return TCL_ERROR;
    if (every == 0)
        return c.error({"USAGE"}, std::string("-every wants a count, not '") + w.value[2] + "'");
    Simulation& s = c.simulation();
    if (!s.engine) return c.error({"NORUN"}, "no run: sim reset first");
    std::shared_ptr<Engine> engine = s.engine;
    const History& h = engine->history();
    int index = c.variable(*engine, name, true);
    if (index < 0) return TCL_ERROR;
    size_t column = (size_t)h.column_of((uint32_t)index);
    long long from = 0, to = 0;
    if (!kept_range(c, h, w.value[0], w.value[1], &from, &to)) return TCL_ERROR;
    const SimType& type = engine->type_of((uint32_t)index);
    auto number = [&](Val v) -> Tcl_Obj* {
        switch (type.kind) {
            case Kind::BOOL:
            case Kind::INT: return Tcl_NewIntObj(v.i);
            case Kind::REAL: return Tcl_NewDoubleObj(v.r);
            default: return c.value_obj(*engine, type, v);
        }
    };
    std::string states;
    Tcl_Obj* values = Tcl_NewListObj(0, nullptr);
    for (long long start = from; start <= to;) {
        long long end = to - start < every ? to : start + every - 1;  // no overflow
        BinSummary bin(type.kind);
        h.scan((uint64_t)start, (uint64_t)end, column,
               [&bin](Presence p, Val v) { bin.add(p, v); });
        char state = bin.state();
        states += state;
        if (state == 'p' || state == 'm')
            Tcl_ListObjAppendElement(nullptr, values, number(bin.least()));
        if (state == 'm') Tcl_ListObjAppendElement(nullptr, values, number(bin.greatest()));
        start = end + 1;
    }
    Tcl_Obj* pair[2] = {Tcl_NewStringObj(states.data(), (int)states.size()), values};
    Tcl_SetObjResult(c.obj->owner->interp, Tcl_NewListObj(2, pair));
    return TCL_OK;
}
