// Diagnostics: trace level test, pipe-mode markers, the progress wheel on a
// terminal and off one, and the four kinds of error report.
#include "corvel/errors.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>

#pragma GCC diagnostic ignored "-Wformat-zero-length"

using testing::ExitedWithCode;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

class ErrorsTest : public testing::Test {
protected:
    void SetUp() override {
        VERBOSE = PIPE = WHEEL_INDEX = nb_global_error = 0;
        TOOL_NAME = TOOL_NAME_DFLT;
        WHEEL_STEP = 1;
    }
};

// Standard error on the slave side of a pseudo-terminal, so that isatty(2)
// holds; what the wheel writes is read back from the master side.
class TerminalStderr {
public:
    TerminalStderr() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            (slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY)) < 0)
            return;
        termios mode{};
        tcgetattr(slave_, &mode);
        cfmakeraw(&mode);   // bytes as written, no newline translation
        tcsetattr(slave_, TCSANOW, &mode);
        fflush(stderr);
        saved_ = dup(2);
        dup2(slave_, 2);
    }
    ~TerminalStderr() {
        fflush(stderr);
        if (saved_ >= 0) dup2(saved_, 2);
        for (int fd : {saved_, slave_, master_})
            if (fd >= 0) close(fd);
    }
    bool ok() const { return saved_ >= 0; }
    std::string take() {  // everything written since the last call
        std::string text;
        pollfd p{master_, POLLIN, 0};
        char buffer[256];
        ssize_t n;
        while (poll(&p, 1, 50) > 0 && (p.revents & POLLIN) && (n = read(master_, buffer, sizeof buffer)) > 0)
            text.append(buffer, n);
        return text;
    }

private:
    int master_ = -1, slave_ = -1, saved_ = -1;
};

TEST_F(ErrorsTest, VerboseLevelTestTable) {
    // kPlain marks the plain form (prints when VERBOSE != 0). Read back without
    // any fflush: a trace must be flushed as soon as it is written.
    TerminalStderr tty;
    ASSERT_TRUE(tty.ok());
    const int kPlain = -1000;
    const struct { int verbose, level; bool prints; } cases[] = {
        {0, kPlain, false}, {1, kPlain, true}, {-1, kPlain, true}, {0, 0, true},
        {0, 1, false},      {-1, 1, false},    {-1, -1, true},     {-1, -2, true},
        {2, 2, true},       {2, 3, false},     {5, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "VERBOSE=" << c.verbose << " level=" << c.level);
        set_verbose_mode(c.verbose);
        int result = c.level == kPlain ? Verbose("trace %d %s\n", 7, "x")
                                       : Verbose(c.level, "trace %d %s\n", 7, "x");
        EXPECT_EQ(tty.take(), c.prints ? "trace 7 x\n" : "");
        EXPECT_EQ(result, c.verbose);
    }
}

TEST_F(ErrorsTest, PipeModeMarkersTable) {
    const struct { const char *format, *piped, *plain; } cases[] = {
        {"\rline %d", " \n^Rline 3", "\rline 3"},
        {"\bline %d", "\n^Bline 3", "\bline 3"},
        {"\r\rline %d", " \n^R\rline 3", "\r\rline 3"},  // one marker at most
        {"\b\rline %d", "\n^B\rline 3", "\b\rline 3"},
        {"li\rne %d", "li\rne 3", "li\rne 3"},           // only the first character counts
        {"\r", " \n^R", "\r"},
        {"plain %d\n", "plain 3\n", "plain 3\n"},
        {"", "", ""},                                    // empty format: nothing at all
    };
    set_verbose_mode(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.format)));
        PIPE = 0;
        CaptureStderr();
        Verbose(c.format, 3);
        EXPECT_EQ(GetCapturedStderr(), c.plain);
        set_pipe_mode();
        CaptureStderr();
        Verbose(1, c.format, 3);
        EXPECT_EQ(GetCapturedStderr(), c.piped);
    }
}

// Output of each call, ',' after each: with period p the wheel first turns on
// call p (call 1 for p 0), then every p+1 calls, cycling | / - \ ; silent when
// not verbose.
TEST_F(ErrorsTest, WheelTurnsTable) {
    const struct { int verbose, period, calls; const char* out; int index_after, step_after; } cases[] = {
        {1, 0, 5, "|\b,/\b,-\b,\\\b,|\b,", 1, 0},
        {2, 3, 12, ",,|\b,,,,/\b,,,,-\b,,", 3, 1},
        {1, 1, 3, "|\b,,/\b,", 2, 0},
        {0, 0, 4, ",,,,", 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "verbose " << c.verbose << " period " << c.period);
        SetUp();
        TerminalStderr tty;
        ASSERT_TRUE(tty.ok());
        set_verbose_mode(c.verbose);
        std::string out;
        for (int i = 0; i < c.calls; i++) {
            EXPECT_EQ(VerboseWheel(c.period), c.verbose);
            out += tty.take() + ",";
        }
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(WHEEL_INDEX, c.index_after);
        EXPECT_EQ(WHEEL_STEP, c.step_after);
    }
    set_verbose_mode(1);
    CaptureStderr();  // a file, not a terminal
    for (int i = 0; i < 4; i++) VerboseWheel(0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(WHEEL_STEP, 1);
    EXPECT_EQ(WHEEL_INDEX, 0);
}

TEST_F(ErrorsTest, WarningAndDeferredErrorTexts) {
    CaptureStderr();
    Warning("disk %d%% full", 90);
    EXPECT_EQ(GetCapturedStderr(), "  Warning :\ndisk 90% full\n");
    char name[16] = "tool";
    set_errors_tool_name(name);
    CaptureStderr();
    Warning("%s", "a");
    std::strcpy(name, "other");  // the pointer is kept, not the text
    Warning("b");
    EXPECT_EQ(GetCapturedStderr(), "tool Warning :\na\nother Warning :\nb\n");

    CaptureStderr();
    GErrorRecover();  // no errors yet: returns silently
    GError("first %d;", 1);
    GError("second");
    EXPECT_EQ(GetCapturedStderr(), "first 1;second");
    EXPECT_EQ(GErrors(), 2);
}

using ErrorsDeathTest = ErrorsTest;

TEST_F(ErrorsDeathTest, FatalReportsExitWithStatusOne) {
    const struct { void (*report)(); const char* err; } cases[] = {
        {[] { GError("e1\n"); GError("e2\n"); GErrorRecover(); }, "^e1\ne2\n\\*\\*\\* 2 Errors stop\n$"},
        {[] { IError("node %s has kind %d", "n", 12); }, "^Sorry, Internal Error :\nnode n has kind 12\n$"},
        {[] { Error("bad %s", "thing"); }, "^  Error :\nbad thing\n$"},
        {[] { set_errors_tool_name("rdr"); Error("x"); }, "^rdr Error :\nx\n$"},
    };
    for (const auto& c : cases) EXPECT_EXIT(c.report(), ExitedWithCode(1), c.err);
}

}  // namespace
