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
