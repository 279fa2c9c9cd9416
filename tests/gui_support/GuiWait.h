// Waiting in window tests. QTest's QTRY_ macros report a time-out only to QTest's own log and
// then return from the test, which GoogleTest counts as a pass: window tests wait with these.
// Each processes events while it waits and fails the test (returning from it) on a time-out.
#pragma once

#include <QTest>

#include <gtest/gtest.h>

// Waits up to `ms` milliseconds for `expr` to hold.
#define WAIT_UNTIL(expr, ms)                                                                       \
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(expr); }, (ms)))                                 \
        << "waited " << (ms) << " ms for: " #expr

// Waits up to `ms` milliseconds for `actual` to equal `expected`; a time-out shows both.
#define WAIT_EQ(actual, expected, ms)                                                              \
    do {                                                                                           \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, (ms));                       \
        ASSERT_EQ(actual, expected) << "after waiting " << (ms) << " ms";                          \
    } while (0)
