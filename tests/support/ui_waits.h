#pragma once

// Waiting with the event loop running, for tests with widgets (see waits.h for the deadline).
// Qt's QTRY_VERIFY and QTRY_COMPARE must not be used under GoogleTest: when they time out they
// return from the test without telling GoogleTest, so the test passes and its later checks are
// skipped. WAIT_TRUE and WAIT_EQ are their forms here, failures that end the test.

#include <QTest>
#include <gtest/gtest.h>

#include "support/waits.h"

namespace sonorel_test {

// Runs the event loop until `condition` holds; false when it still fails at the deadline.
template <class Condition>
bool WaitUntil(Condition condition)
{
    return QTest::qWaitFor(condition, int(kHangDeadline.count()));
}

} // namespace sonorel_test

#define WAIT_TRUE(condition) ASSERT_TRUE(::sonorel_test::WaitUntil([&] { return bool(condition); })) << #condition

#define WAIT_EQ(actual, expected)                                                                                     \
    do {                                                                                                              \
        ::sonorel_test::WaitUntil([&] { return (actual) == (expected); });                                            \
        ASSERT_EQ(actual, expected);                                                                                  \
    } while (false)
