// Entry point of every test tier: error reports go to a sink instead of a blocking message box,
// and death tests re-run their test in a fresh process (safe with a GL context or SDL open).
#include <gtest/gtest.h>

#include "base/FatalError.h"

namespace {
void silentSink(const char*) {}
} // namespace

int main(int argc, char** argv) {
    setErrorBox(silentSink);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
