// The host looks at the message queue on the first request and then at most once per interval.
#include <gtest/gtest.h>

#include "engine/message_pacing.h"

namespace tarnwick {
namespace {

using std::chrono::milliseconds;

TEST(MessagePacer, FirstPassAndThenOnePerInterval) {
    const TMessagePacer::Clock::time_point t0{};
    struct Row {
        milliseconds at;
        bool due;
    };
    // The interval counts from the last pass that was due, not from the last request.
    const Row rows[] = {{milliseconds(0), true},  {milliseconds(3), false},  {milliseconds(9), false},
                        {milliseconds(10), true}, {milliseconds(19), false}, {milliseconds(45), true},
                        {milliseconds(46), false}};
    TMessagePacer pacer;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.at.count());
        EXPECT_EQ(pacer.Due(t0 + row.at), row.due);
    }
}

} // namespace
} // namespace tarnwick
