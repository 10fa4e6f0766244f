// The compiler's expression half: one expression into instructions, with an
// explicit stack (depth costs no call depth). An `if' or `->' whose
// branches are small and can neither fail nor call out is computed whole
// and selected without a jump; otherwise it jumps over the branch it does
// not take. The operands of `pre' are computed after the equations (their
// memories); the operand of `current' where its clock ticks, never inside a
// branch (an expression that holds one in a branch is compiled again with
// its `current's first). Leaves, `pre' and the look-aheads are in
// compile_leaf.cpp.
#include <algorithm>
#include <cstring>

#include "quorl/sim/compiler.h"

namespace sim {

namespace {

// Instructions a speculatively computed pair of branches may take.
const size_t kSpeculate = 16;

Op int_op(int n, bool overflow) {
    switch (n) {
        case PLUS_n: return overflow ? OP_IADDO : OP_IADD;
        case MINUS_n: return overflow ? OP_ISUBO : OP_ISUB;
        case TIMES_n: return overflow ? OP_IMULO : OP_IMUL;
        case POWER_n: return overflow ? OP_IPOWO : OP_IPOW;
        case DIV_n:
        case SLASH_n: return OP_IDIV;
        case MOD_n: return OP_IMOD;
        case EQUAL_n: return OP_IEQ;
        case NEQ_n: return OP_INE;
        case LT_n: return OP_ILT;
        case LTE_n: return OP_ILE;
        case GT_n: return OP_IGT;
        case GTE_n: return OP_IGE;
        case AND_n: return OP_AND;
        case OR_n: return OP_OR;
        case XOR_n: return OP_XOR;
        default: return OP_IMPL;
    }
}

Op real_op(int n) {
    switch (n) {
        case PLUS_n: return OP_RADD;
        case MINUS_n: return OP_RSUB;
        case TIMES_n: return OP_RMUL;
        case SLASH_n: return OP_RDIV;
        case POWER_n: return OP_RPOW;
        case EQUAL_n: return OP_REQ;
        case NEQ_n: return OP_RNE;
        case LT_n: return OP_RLT;
        case LTE_n: return OP_RLE;
        case GT_n: return OP_RGT;
        default: return OP_RGE;
    }
}


// The nil level of the value an if (or ->) selects: an if's is its
// condition's or its sides'; a ->'s its left side's at the first instant
// (level 1 at most), its right side's after.
uint8_t selection_level(int n, const Res& cond, const Res& first, const Res& second) {
    if (n == ARROW_n) return second.level >= 2 ? second.level : std::min<uint8_t>(first.level, 1);
    return std::max({cond.level, first.level, second.level});
}

}  // namespace

bool Compiler::expression(Exp* root, int clock, const std::vector<uint32_t>& dsts,
                          std::vector<Res>* out) {
    std::vector<uint32_t>& pool = _pool;
    std::vector<Res>& res = _res;
    std::vector<Frame>& frames = _frames;
    pool.assign(dsts.begin(), dsts.end());
    res.clear();
    frames.clear();
    _branches.clear();
    // The operands are read soon, and a variable's leaf can be anywhere in
    // memory: each node asks for all of them when it is pushed.
    // A node's operands inherit what is known of the instant (after the
    // first one of the clock), but for a change of clock.
    // A leaf gives its value at once, without a frame of its own.
    bool failed = false;
    auto push = [&](Exp* e, int c, int dst, bool after_first) {
        if (e->arity() == 0) {
            Res r{};
            failed = failed || !leaf(e, c, &r);
            if (dst >= 0 && pool[(size_t)dst] != r.slot) {
                emit_copy(r.level ? OP_MOVN : OP_MOV, r.kind, pool[(size_t)dst], r.slot);
                r.slot = pool[(size_t)dst];
            }
            res.push_back(r);
            return;
        }
        for (int k = 0; k < e->arity(); ++k) __builtin_prefetch(e->operand(k));
        frames.push_back(Frame{e, c, 0, dst, (uint32_t)res.size(), -1, after_first});
    };
    auto branch = [&](Frame& fr) -> Branch& {
        if (fr.branch < 0) {
            fr.branch = (int)_branches.size();
            _branches.push_back(Branch{});
        }
        return _branches[(size_t)fr.branch];
    };
    push(root, clock, dsts.empty() ? -1 : 0, false);
    // The k-th target of a frame: the caller's slot, or a new temporary.
    auto target = [&](const Frame& f, size_t k) {
        return f.dst >= 0 ? pool[(size_t)f.dst + k] : temp();
    };
    auto place = [&](const Frame& f, size_t k, Res r) {
        if (f.dst < 0 || pool[(size_t)f.dst + k] == r.slot) return r;
        uint32_t d = pool[(size_t)f.dst + k];
        emit_copy(r.level ? OP_MOVN : OP_MOV, r.kind, d, r.slot);
        return Res{d, r.level, r.kind};
    };
    // A node's values replace its operands'.
    auto finishv = [&](const Res* values, size_t n) {
        Frame& f = frames.back();
        res.resize(f.base);
        res.insert(res.end(), values, values + n);
        frames.pop_back();
    };
    auto finish = [&](Res value) { finishv(&value, 1); };
    // The temporaries of the operands from `from' on are free again once the
    // instruction that reads them is emitted (it reads before it writes).
    auto consume = [&](size_t from) {
        for (size_t i = res.size(); i-- > from;) release(res[i].slot);
    };
    auto unsupported = [&](Exp* e) {
        return fail({"UNSUPPORTED"}, std::string("'") + opkey(e->nature()) + "' (" +
                                         nodekey(e->nature()) + ") cannot run");
    };
    while (!frames.empty() && !failed) {
        size_t fi = frames.size() - 1;
        Frame& f = frames[fi];
        Exp* e = f.e;
        const int n = e->nature();
        if (_instant_only && (n == PRE_n || n == ARROW_n || n == WHEN_n || n == CURRENT_n))
            return fail({"UNSUPPORTED"}, std::string("'") + opkey(n) +
                                             "' cannot stand in an expression of one instant");
        switch (n) {
            case PRE_n: {
                std::vector<Res> r;
                if (!pre(e, f.clock, f.after_first, f.dst >= 0 ? pool[(size_t)f.dst] : UINT32_MAX, &r))
                    return false;
                for (size_t k = 1; k < r.size(); ++k) r[k] = place(f, k, r[k]);
                finishv(r.data(), r.size());
                continue;
            }
            case WHEN_n: {
                if (f.stage++ == 0) {
                    if (_graph) _graph->add_read(e->operand(1)->ident());
                    IdentInfo* sampler = _prg->get_ident_info(e->operand(1)->ident());
                    push(e->operand(0), sampler ? sampler->clock() : f.clock, f.dst, false);
                    continue;
                }
                frames.pop_back();  // the operand's values are this node's
                continue;
            }
            case CURRENT_n: {
                auto hoisted = _current_of.find(e);
                if (hoisted != _current_of.end()) {
                    std::vector<Res> r = hoisted->second;
                    for (size_t k = 0; k < r.size(); ++k) r[k] = place(f, k, r[k]);
                    finishv(r.data(), r.size());
                    continue;
                }
                int c = clock_of(e->operand(0));
                if (!c || c == _prg->base_clock()) {  // on the base clock: the operand itself
                    if (f.stage++ == 0) {
                        push(e->operand(0), f.clock, f.dst, f.after_first);
                        continue;
                    }
                    frames.pop_back();
                    continue;
                }
                if (f.stage == 0) {
                    if (_conditional > 0) _need_hoist = true;
                    emit_clock(c);
                    branch(f).jf = emit(OP_GUARD, 0, clock_slots(c).act, 0);
                    f.stage = 1;
                    push(e->operand(0), c, -1, false);
                    continue;
                }
                uint32_t act = clock_slots(c).act;
                Branch& g = branch(f);
                (*_out)[g.jf].b = (uint32_t)(_out->size() - g.jf - 1);
                // Its memory: the operand's values at the last tick of its clock.
                std::vector<uint32_t>& memory = _current_memory[e];
                while (memory.size() < res.size() - f.base) memory.push_back(new_slot(Val{}, true));
                std::vector<Res> r;
                for (size_t k = f.base; k < res.size(); ++k) {
                    Res v = res[k];
                    uint32_t m = memory[k - f.base];
                    emit_copy(OP_MEMSAVE, v.kind, m, nil_operand(v), act);
                    r.push_back(Res{m, kInf, v.kind});
                }
                consume(f.base);
                for (size_t k = 0; k < r.size(); ++k) r[k] = place(f, k, r[k]);
                finishv(r.data(), r.size());
                continue;
            }
            case IF_n:
            case ARROW_n: {
                // Operands: the condition (the clock's first instant for ->),
                // the branch taken when it holds, the other one.
                Exp* first = n == IF_n ? e->operand(1) : e->operand(0);
                Exp* second = n == IF_n ? e->operand(2) : e->operand(1);
                if (f.stage == 0) {
                    f.stage = 1;
                    if (n == IF_n) {
                        push(e->operand(0), f.clock, -1, f.after_first);
                        continue;
                    }
                    res.push_back(Res{clock_slots(f.clock).fnow, 0, Kind::BOOL});
                }
                if (f.stage == 1) {
                    auto jump = _jump_form.find(e);
                    if (jump != _jump_form.end()) {
                        branch(f).count = jump->second;
                        f.stage = 10;
                    } else {
                        Branch& b = branch(f);
                        b.mark = mark();
                        b.mark.res = res.size();
                        f.stage = 2;
                        push(first, f.clock, -1, f.after_first);
                        continue;
                    }
                }
                if (f.stage == 2) {
                    f.stage = 3;
                    push(second, f.clock, -1, n == ARROW_n || f.after_first);
                    continue;
                }
                Res cond = res[f.base];
                if (f.stage == 3) {
                    size_t k = (res.size() - f.base - 1) / 2;
                    Branch& b = branch(f);
                    if (_unsafe != b.mark.unsafe || _out->size() - b.mark.ins > kSpeculate) {
                        rollback(b.mark);
                        res.resize(b.mark.res);
                        _jump_form[e] = (int)k;
                        b.count = (int)k;
                        f.stage = 10;
                    } else {
                        if (k == 1) consume(f.base);
                        std::vector<Res> r;
                        for (size_t i = 0; i < k; ++i) {
                            Res a = res[f.base + 1 + i], b = res[f.base + 1 + k + i];
                            uint8_t level = selection_level(n, cond, a, b);
                            bool nil = cond.level || a.level || b.level;
                            uint32_t d = target(f, i);
                            if (nil) {
                                emit_copy(OP_SELN, a.kind, d, nil_operand(a), nil_operand(b));
                                emit(OP_ARG, 0, nil_operand(cond));
                            } else {
                                emit_copy(OP_SEL, a.kind, d, a.slot, b.slot);
                                emit(OP_ARG, 0, cond.slot);
                            }
                            r.push_back(Res{d, level, a.kind});
                        }
                        finishv(r.data(), r.size());
                        continue;
                    }
                }
                if (f.stage == 10) {
                    if (f.dst < 0) {
                        f.dst = (int)pool.size();
                        for (int i = 0; i < branch(f).count; ++i) pool.push_back(temp());
                    }
                    Branch& b = branch(f);
                    if (cond.level) b.jnil = emit(OP_JNIL, 0, cond.slot, 0);
                    b.jf = emit(OP_JF, 0, cond.slot, 0);
                    ++_conditional;
                    f.stage = 11;
                    push(first, f.clock, f.dst, f.after_first);
                    continue;
                }
                Branch& b = branch(f);
                size_t k = (size_t)b.count;
                size_t from = f.base + 1 + (f.stage == 11 ? 0 : k);
                for (size_t i = 0; i < k; ++i)
                    if (!res[from + i].level) emit(OP_NILCLR, pool[(size_t)f.dst + i]);
                if (f.stage == 11) {
                    b.jend = emit(OP_JMP, 0, 0);
                    (*_out)[b.jf].b = (uint32_t)(_out->size() - b.jf - 1);
                    f.stage = 12;
                    push(second, f.clock, f.dst, n == ARROW_n || f.after_first);
                    continue;
                }
                --_conditional;
                if (cond.level) {
                    uint32_t skip = emit(OP_JMP, 0, 0);
                    (*_out)[b.jnil].b = (uint32_t)(_out->size() - b.jnil - 1);
                    for (size_t i = 0; i < k; ++i) emit(OP_NILSET, pool[(size_t)f.dst + i]);
                    (*_out)[skip].a = (uint32_t)(_out->size() - skip - 1);
                }
                (*_out)[b.jend].a = (uint32_t)(_out->size() - b.jend - 1);
                std::vector<Res> r;
                for (size_t i = 0; i < k; ++i) {
                    Res a = res[f.base + 1 + i], b = res[f.base + 1 + k + i];
                    r.push_back(Res{pool[(size_t)f.dst + i], selection_level(n, cond, a, b), a.kind});
                }
                finishv(r.data(), r.size());
                continue;
            }
            case TUPLE_n: {
                if (f.stage < e->arity()) {
                    int i = f.stage++;
                    push(e->operand(i), f.clock, f.dst >= 0 ? f.dst + i : -1, f.after_first);
                    continue;
                }
                frames.pop_back();  // the members' values are the tuple's
                continue;
            }
            case CALL_n: {
                if (f.stage++ == 0) {
                    push(e->operand(0), f.clock, -1, f.after_first);
                    continue;
                }
                int function = e->order();
                FuncInfo* fn = _prg->get_func_info(function);
                if (!fn) return unsupported(e);
                if (!_bound.functions.count(function))
                    return fail({"UNBOUND", _prg->symbol(function)},
                                "function '" + std::string(_prg->symbol(function)) +
                                    "' has no command");
                CallSite site;
                site.function = function;
                site.variable = _owner;
                uint8_t level = 0;
                for (size_t k = f.base; k < res.size(); ++k) {
                    site.args.push_back(nil_operand(res[k]));
                    level = std::max(level, res[k].level);
                }
                auto types = [&](const EcType* t, std::vector<const SimType*>* out) {
                    if (t && t->is_tuple())
                        for (IntList* l = t->name_list(); l; l = l->tail())
                            out->push_back(_codec->type_of(_prg->find_named_type(l->head())));
                    else
                        out->push_back(_codec->type_of(t));
                };
                types(fn->inputs_type(), &site.arg_types);
                types(fn->outputs_type(), &site.result_types);
                consume(f.base);  // the call reads its arguments before it writes
                std::vector<Res> r;
                for (size_t k = 0; k < site.result_types.size(); ++k) {
                    const SimType* t = site.result_types[k];
                    if (!t) return unsupported(e);
                    site.results.push_back(target(f, k));
                    r.push_back(Res{site.results.back(), level, t->kind});
                }
                site.nil_aware = level > 0;
                _code->calls.push_back(std::move(site));
                emit(OP_CALL, 0, (uint32_t)(_code->calls.size() - 1));
                finishv(r.data(), r.size());
                continue;
            }
            case DIESE_n:
            case NOR_n: {
                if (f.stage < e->arity()) {
                    push(e->operand(f.stage++), f.clock, -1, f.after_first);
                    continue;
                }
                uint32_t list = (uint32_t)_code->lists.size();
                _code->lists.push_back((uint32_t)(res.size() - f.base));
                uint8_t level = 0;
                for (size_t k = f.base; k < res.size(); ++k) {
                    _code->lists.push_back(nil_operand(res[k]));
                    level = std::max(level, res[k].level);
                }
                consume(f.base);
                uint32_t d = target(f, 0);
                emit(n == DIESE_n ? OP_DIESE : OP_NOR, d, list, level ? 1 : 0);
                finish(Res{d, level, Kind::BOOL});
                continue;
            }
            case NOT_n:
            case UMINUS_n:
            case INT2REAL_n:
            case REAL2INT_n: {
                if (f.stage++ == 0) {
                    push(e->operand(0), f.clock, -1, f.after_first);
                    continue;
                }
                Res a = res[f.base];
                // not of an int comparison is the opposite comparison, made by
                // the comparison's own instruction (the last emitted).
                if (n == NOT_n && a.level == 0 && compares(e->operand(0)->nature()) &&
                    !_out->empty() && _out->back().d == a.slot && _out->back().op >= OP_IEQ &&
                    _out->back().op <= OP_IGE) {
                    static const Op opposite[] = {OP_INE, OP_IEQ, OP_IGE, OP_IGT, OP_ILE, OP_ILT};
                    consume(f.base);
                    uint32_t d = target(f, 0);
                    Ins& cmp = _out->back();
                    cmp.op = opposite[cmp.op - OP_IEQ];
                    cmp.d = d;
                    finish(Res{d, 0, Kind::BOOL});
                    continue;
                }
                // The minus of a literal is a constant (-1 is read that way).
                bool wraps = a.kind == Kind::INT && _code->init[a.slot].i == INT32_MIN;
                if (n == UMINUS_n && a.constant && !_instant_only && !(wraps && _options.overflow_error)) {
                    Val v = _code->init[a.slot];
                    if (a.kind == Kind::REAL)
                        v.r = -v.r;
                    else
                        v.i = (int32_t)(0u - (uint32_t)v.i);
                    consume(f.base);
                    Res r{constant_slot(v), 0, a.kind, true};
                    finish(f.dst >= 0 ? place(f, 0, r) : r);
                    continue;
                }
                Op op = n == NOT_n        ? OP_NOT
                        : n == INT2REAL_n ? OP_I2R
                        : n == REAL2INT_n ? OP_R2I
                        : a.kind == Kind::REAL ? OP_RNEG
                        : _options.overflow_error ? OP_INEGO
                                                  : OP_INEG;
                Kind kind = n == NOT_n ? Kind::BOOL
                            : n == INT2REAL_n ? Kind::REAL
                            : n == REAL2INT_n ? Kind::INT
                                              : a.kind;
                consume(f.base);
                uint32_t d = target(f, 0);
                if (a.level) emit(OP_NIL1, d, a.slot);
                emit(op, d, a.slot);
                finish(Res{d, a.level, kind});
                continue;
            }
            default: break;
        }
        if (n < AND_n || n > POWER_n) return unsupported(e);
        // Binary operators.
        if (f.stage < 2) {
            push(e->operand(f.stage++), f.clock, -1, f.after_first);
            continue;
        }
        size_t k = (res.size() - f.base) / 2;
        Kind kind = compares(n) || (n >= AND_n && n <= IMPL_n) ? Kind::BOOL : res[f.base].kind;
        if (k == 1) {
            Res a = res[f.base], b = res[f.base + 1];
            Op op = a.kind == Kind::REAL ? real_op(n) : int_op(n, _options.overflow_error);
            if (a.kind == Kind::BOOL && n == NEQ_n) op = OP_XOR;  // the shorter instruction
            consume(f.base);
            uint32_t d = target(f, 0);
            emit_nil(d, a, b);
            emit(op, d, a.slot, b.slot);
            finish(Res{d, std::max(a.level, b.level), kind});
            continue;
        }
        // Tuples compared member by member.
        std::vector<Res> parts;
        for (size_t i = 0; i < k; ++i) {
            Res a = res[f.base + i], b = res[f.base + k + i];
            Op op = a.kind == Kind::REAL ? real_op(n) : int_op(n, _options.overflow_error);
            uint32_t d = temp();
            emit_nil(d, a, b);
            emit(op, d, a.slot, b.slot);
            parts.push_back(Res{d, std::max(a.level, b.level), Kind::BOOL});
        }
        uint32_t d = target(f, 0);
        Op join = n == EQUAL_n ? OP_AND : OP_OR;
        Res joined = parts[0];
        for (size_t i = 1; i < k; ++i) {
            emit_nil(d, joined, parts[i]);
            emit(join, d, joined.slot, parts[i].slot);
            joined = Res{d, std::max(joined.level, parts[i].level), Kind::BOOL};
        }
        finish(Res{d, joined.level, kind});
    }
    if (failed) return false;
    out->insert(out->end(), res.begin(), res.end());
    return true;
}

}  // namespace sim
