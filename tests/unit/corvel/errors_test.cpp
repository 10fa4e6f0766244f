// Diagnostics: traces and their level test, pipe-mode markers, the progress
// wheel on a terminal and off one, and the four kinds of error report.
#include "corvel/errors.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#pragma GCC diagnostic ignored "-Wformat-zero-length"

using testing::ExitedWithCode;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

class ErrorsTest : public testing::Test {
protected:
    void SetUp() override {
        VERBOSE = 0;
        PIPE = 0;
        TOOL_NAME = TOOL_NAME_DFLT;
        WHEEL_STEP = 1;
        WHEEL_INDEX = 0;
        nb_global_error = 0;
    }
};

// --- Verbose: which calls print, and what they return -------------------

enum class Form { Plain, Leveled };

struct TraceCase {
    int verbose;
    Form form;
    int level;
    bool prints;
};

TEST_F(ErrorsTest, VerboseLevelTestTable) {
    const TraceCase cases[] = {
        {0, Form::Plain, 0, false},
        {1, Form::Plain, 0, true},
        {-1, Form::Plain, 0, true},     // any nonzero level prints plain traces
        {0, Form::Leveled, 0, true},    // 0 <= 0
        {0, Form::Leveled, 1, false},
        {-1, Form::Leveled, 1, false},
        {-1, Form::Leveled, -1, true},
        {-1, Form::Leveled, -2, true},
        {2, Form::Leveled, 2, true},
        {2, Form::Leveled, 3, false},
        {5, Form::Leveled, 1, true},
    };
    for (const TraceCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "VERBOSE=" << c.verbose << " level=" << c.level
                                        << (c.form == Form::Plain ? " plain" : " leveled"));
        set_verbose_mode(c.verbose);
        CaptureStderr();
        int result = c.form == Form::Plain ? Verbose("trace %d %s\n", 7, "x")
                                           : Verbose(c.level, "trace %d %s\n", 7, "x");
        std::string out = GetCapturedStderr();
        EXPECT_EQ(result, c.verbose);
        EXPECT_EQ(out, c.prints ? "trace 7 x\n" : "");
    }
}

// --- pipe-mode markers ---------------------------------------------------

struct PipeCase {
    const char* format;
    const char* piped;
    const char* plain;
};

TEST_F(ErrorsTest, PipeModeMarkersTable) {
    const PipeCase cases[] = {
        {"\rline %d", " \n^Rline 3", "\rline 3"},
        {"\bline %d", "\n^Bline 3", "\bline 3"},
        {"\r\rline %d", " \n^R\rline 3", "\r\rline 3"},  // one marker at most
        {"\b\rline %d", "\n^B\rline 3", "\b\rline 3"},
        {"li\rne %d", "li\rne 3", "li\rne 3"},           // only the first character counts
        {"\r", " \n^R", "\r"},
        {"plain %d\n", "plain 3\n", "plain 3\n"},
    };
    set_verbose_mode(1);
    for (const PipeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << testing::PrintToString(std::string(c.format)));
        PIPE = 0;
        CaptureStderr();
        Verbose(c.format, 3);
        EXPECT_EQ(GetCapturedStderr(), c.plain);
        PIPE = 1;
        CaptureStderr();
        Verbose(1, c.format, 3);
        EXPECT_EQ(GetCapturedStderr(), c.piped);
    }
}

TEST_F(ErrorsTest, EmptyFormatWritesNothingEvenInPipeMode) {
    set_verbose_mode(1);
    set_pipe_mode();
    CaptureStderr();
    Verbose("");
    Verbose(1, "");
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(ErrorsTest, TraceIsFlushedAtOnce) {
    // A trace must reach the file before any later fflush happens.
    char path[] = "/tmp/errors_test_XXXXXX";
    int fd = mkstemp(path);
    // cppcheck-suppress resourceLeak ; only a failed mkstemp (fd -1, nothing to close) returns here
    ASSERT_GE(fd, 0);
    int saved = dup(2);
    fflush(stderr);
    dup2(fd, 2);
    set_verbose_mode(1);
    Verbose("flushed %s", "now");
    char buffer[64] = {0};
    ssize_t n = pread(fd, buffer, sizeof buffer - 1, 0);
    dup2(saved, 2);
    close(saved);
    close(fd);
    unlink(path);
    EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "flushed now");
}

// --- progress wheel --------------------------------------------------------

// Standard error on the slave side of a pseudo-terminal, so that isatty(2)
// holds; what the wheel writes is read back from the master side.
class TerminalStderr {
public:
    TerminalStderr() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
        if (slave_ < 0) return;
        termios mode{};
        tcgetattr(slave_, &mode);
        cfmakeraw(&mode);
        tcsetattr(slave_, TCSANOW, &mode);
        fflush(stderr);
        saved_ = dup(2);
        dup2(slave_, 2);
    }
    ~TerminalStderr() {
        if (saved_ >= 0) {
            fflush(stderr);
            dup2(saved_, 2);
            close(saved_);
        }
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }
    bool ok() const { return saved_ >= 0; }
    // Everything written since the last call.
    std::string take() {
        std::string text;
        pollfd p{master_, POLLIN, 0};
        while (poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
            char buffer[256];
            ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, n);
        }
        return text;
    }

private:
    int master_ = -1, slave_ = -1, saved_ = -1;
};

TEST_F(ErrorsTest, WheelPeriodZeroTurnsOnEveryCallAndCycles) {
    TerminalStderr tty;
    ASSERT_TRUE(tty.ok());
    set_verbose_mode();
    std::string frames;
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(VerboseWheel(0), 1);
        frames += tty.take();
    }
    EXPECT_EQ(frames, "|\b/\b-\b\\\b|\b");
    EXPECT_EQ(WHEEL_INDEX, 1);
}

TEST_F(ErrorsTest, WheelPeriodThreeTurnsOnThirdCallThenEveryFourth) {
    TerminalStderr tty;
    ASSERT_TRUE(tty.ok());
    set_verbose_mode(2);
    std::vector<int> turns;
    std::string frames;
    for (int call = 1; call <= 12; call++) {
        VerboseWheel(3);
        std::string out = tty.take();
        if (!out.empty()) {
            turns.push_back(call);
            frames += out;
        }
    }
    EXPECT_EQ(turns, (std::vector<int>{3, 7, 11}));
    EXPECT_EQ(frames, "|\b/\b-\b");
}

TEST_F(ErrorsTest, WheelFirstCallTurnsWhenPeriodIsOne) {
    TerminalStderr tty;
    ASSERT_TRUE(tty.ok());
    set_verbose_mode(1);
    VerboseWheel(1);
    EXPECT_EQ(tty.take(), "|\b");
    VerboseWheel(1);
    EXPECT_EQ(tty.take(), "");
    VerboseWheel(1);
    EXPECT_EQ(tty.take(), "/\b");
}

TEST_F(ErrorsTest, WheelSilentWhenNotVerboseOrNotTerminal) {
    {
        TerminalStderr tty;
        ASSERT_TRUE(tty.ok());
        for (int i = 0; i < 4; i++) EXPECT_EQ(VerboseWheel(0), 0);
        EXPECT_EQ(tty.take(), "");
        EXPECT_EQ(WHEEL_STEP, 1);
    }
    set_verbose_mode(1);
    CaptureStderr();  // a file, not a terminal
    for (int i = 0; i < 4; i++) VerboseWheel(0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(WHEEL_STEP, 1);
    EXPECT_EQ(WHEEL_INDEX, 0);
}

// --- reports -----------------------------------------------------------------

TEST_F(ErrorsTest, WarningWithDefaultAndGivenToolName) {
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
}

TEST_F(ErrorsTest, GErrorCountsWithoutHeaderOrNewline) {
    CaptureStderr();
    GError("first %d;", 1);
    GError("second");
    EXPECT_EQ(GetCapturedStderr(), "first 1;second");
    EXPECT_EQ(GErrors(), 2);
}

TEST_F(ErrorsTest, GErrorRecoverWithoutErrorsReturnsSilently) {
    CaptureStderr();
    GErrorRecover();
    EXPECT_EQ(GetCapturedStderr(), "");
}

using ErrorsDeathTest = ErrorsTest;

TEST_F(ErrorsDeathTest, GErrorRecoverStopsAfterErrors) {
    EXPECT_EXIT(
        {
            GError("e1\n");
            GError("e2\n");
            GErrorRecover();
        },
        ExitedWithCode(1), "^e1\ne2\n\\*\\*\\* 2 Errors stop\n$");
}

TEST_F(ErrorsDeathTest, InternalErrorExits) {
    EXPECT_EXIT(IError("node %s has kind %d", "n", 12), ExitedWithCode(1),
                "^Sorry, Internal Error :\nnode n has kind 12\n$");
}

TEST_F(ErrorsDeathTest, ErrorExitsWithToolNameHeader) {
    EXPECT_EXIT(Error("bad %s", "thing"), ExitedWithCode(1), "^  Error :\nbad thing\n$");
    static const char name[] = "rdr";
    set_errors_tool_name(name);
    EXPECT_EXIT(Error("x"), ExitedWithCode(1), "^rdr Error :\nx\n$");
}

}  // namespace
