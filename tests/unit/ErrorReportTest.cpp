#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "base/FatalError.h"
#include "support/FatalText.h"

using ::testing::ExitedWithCode;

namespace {
void throwBadAlloc() {
    throw std::bad_alloc();
}
void throwRuntimeError() {
    throw std::runtime_error("disk on fire");
}
// An exception leaving a noexcept function reaches std::terminate, as one nothing catches does.
void runUncaught(void (*thrower)()) noexcept {
    reportUncaughtExceptions();
    thrower();
}
} // namespace

// An allocation that fails where nothing catches it must still tell the viewer, not abort silently.
TEST(ErrorReport, UncaughtExceptionsAreFatalReportsNotAborts) {
    EXPECT_EXIT(runUncaught(throwBadAlloc), ExitedWithCode(1), literally("Out of memory.\n"));
    EXPECT_EXIT(runUncaught(throwRuntimeError), ExitedWithCode(1),
                literally("Unexpected error: disk on fire\n"));
}

// SDL's box doesn't wrap: it gets the text in lines it can show.
TEST(ErrorReport, BoxTextIsWrappedAtBlanks) {
    struct Case {
        const char* text;
        size_t columns;
        const char* wrapped;
    };
    const Case cases[] = {
        {"short", 10, "short"},
        {"one two three four", 9, "one two\nthree\nfour"},
        {"exactly ten", 11, "exactly ten"},
        {"kept\nbreaks and more", 8, "kept\nbreaks\nand more"},
        // Blanks inside a line are part of the message ("{png  jpg }").
        {"a  b  c", 4, "a  b\n c"},
        {"data/a/very/long/path.aml is gone", 10, "data/a/ver\ny/long/pat\nh.aml is\ngone"},
        {"trailing\n", 4, "trai\nling\n"},
        {"", 5, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(wrapText(c.text, c.columns), c.wrapped);
    }
}
