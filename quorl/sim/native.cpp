// Machine code for the code of a step (x86-64, System V, on Linux): memory
// that may run it, and the way in and back.
#include "quorl/sim/native.h"

#if defined(__x86_64__) && defined(__linux__)
#define QUORL_NATIVE 1
#endif

#include <sys/mman.h>

#include <cstring>

#include "quorl/sim/translate.h"

int native::run_one(Context* c, uint32_t slow) {
    const NativeCode::Slow& s = c->slow[slow];
    Frames f{c->cur, c->prev, c->curnil, c->prevnil};
    if (run_code(*c->code, s.ins, f, c->outside, c->error) == RUN_OK) return 0;
    c->error->ins = s.index;
    return 1;
}

std::unique_ptr<NativeCode> NativeCode::translate(const Code& code, const Val* constants) {
#ifdef QUORL_NATIVE
    std::vector<uint8_t> bytes;
    std::vector<Slow> slow;
    if (!native::translate(code, constants, &bytes, &slow)) return nullptr;
    // Written while writable, then made executable and no longer writable.
    void* memory =
        mmap(nullptr, bytes.size(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    memcpy(memory, bytes.data(), bytes.size());
    if (mprotect(memory, bytes.size(), PROT_READ | PROT_EXEC) != 0) {
        munmap(memory, bytes.size());
        return nullptr;
    }
    return std::unique_ptr<NativeCode>(new NativeCode(memory, bytes.size(), std::move(slow)));
#else
    (void)code;
    (void)constants;
    return nullptr;
#endif
}

NativeCode::~NativeCode() {
    if (_memory) munmap(_memory, _size);
}

RunFault NativeCode::run(const Code& code, const Frames& f, Outside* outside,
                         RunError* error) const {
    native::Context c{f.cur, f.prev, f.curnil, f.prevnil, &code, _slow.data(), outside, error, 0, 0};
    auto entry = reinterpret_cast<int (*)(native::Context*)>(_memory);
    if (entry(&c) == 0) return RUN_OK;
    if (c.fault != RUN_OK) {  // a failure of the machine code itself
        error->fault = (RunFault)c.fault;
        error->ins = c.ins;
        error->detail = 0;
    }
    return error->fault;
}
