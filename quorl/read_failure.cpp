// The one place where the reader records a failure.
#include "quorl/read_failure.h"

#include <cerrno>
#include <cstring>

#include "quorl/ecprg.h"
#include "quorl/lexer.h"

std::string ReadFailure::reason() const {
    if (read_error) return strerror(read_error);
    return lexical.empty() ? message : lexical;
}

std::vector<std::string> ReadFailure::code(const std::string& path) const {
    if (interrupted) return {"INTERRUPTED", path};
    if (read_error) return {"IO", path, reason()};
    if (message.empty() && lexical.empty()) return {"EMPTY", path};
    return {"SYNTAX", path, std::to_string(where.line), std::to_string(where.column), near,
            reason()};
}

void record_failure(EcReader* r, FailureKind kind, const char* text, unsigned pos,
                    int error_number) {
    ReadFailure& f = r->failure;
    EcPrg* prg = r->prg;
    switch (kind) {
        case FAIL_READ: f.read_error = error_number ? error_number : EIO; return;
        case FAIL_INTERRUPTED: f.interrupted = true; return;
        case FAIL_UNDECLARED:
            prg->error("undeclared ident '%s'", text);
            prg->set_error_code({"UNDECLARED", text});
            f.message = prg->error_msg();
            return;
        case FAIL_LEXICAL:
            prg->error("%s", text);
            f.message = f.lexical = text;
            f.near = "EOF";  // what the parser sees next
            break;
        case FAIL_SYNTAX:
            f.near = printLexeme(r, r->result);
            prg->error("%s line %d near '%s'", text, r->yyline, f.near.c_str());
            f.message = prg->error_msg();
            // After a lexical error the parser only sees the end of the
            // text: the place and the reason stay the lexical error's.
            if (!f.lexical.empty()) pos = f.pos;
            break;
    }
    f.pos = pos;
    f.where = r->lines->at(pos);
    if (kind == FAIL_SYNTAX) {
        ReadFailure syntax = f;  // the program's code says where, whatever the source did
        syntax.read_error = 0;
        syntax.interrupted = false;
        prg->set_error_code(syntax.code(""));
    }
}
