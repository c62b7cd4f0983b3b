/* Shared ground of the host tests: a fresh program and stand-in per test, and trace comparison. */
#ifndef MOXU_TEST_FIXTURE_H
#define MOXU_TEST_FIXTURE_H

#include "moxu.h"
#include "reset.h"
#include "stub.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

typedef std::vector<std::string> Lines;

/* Expected and actual side by side, marking the first row that differs. */
::testing::AssertionResult TraceIs(const Lines &expected, const Lines &actual);
#define EXPECT_TRACE(expected) EXPECT_TRUE(TraceIs((expected), stub::Trace()))

/* Only the trace lines of the given calls, in order. */
Lines TraceOf(const std::vector<std::string> &calls);
Lines Concat(std::initializer_list<Lines> parts);

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProgram(); }
};


#endif
