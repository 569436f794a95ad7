// How often a run's host looks at the window's message queue. A run asks for a pass after every
// progress step (about five per installed file); under Wine each look at the queue is a round
// trip to its server, about 45 microseconds, so a product of 2,000 files spent close to half a
// second looking at an empty queue. Passes closer together than the interval are skipped: the
// window still answers a click or a repaint within a hundredth of a second.
#pragma once

#include <chrono>

namespace tarnwick {

class TMessagePacer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{10};

    // Whether a pass is due at now; a due pass starts the next interval.
    bool Due(Clock::time_point now) {
        if (started_ && now - last_ < kInterval) return false;
        started_ = true;
        last_ = now;
        return true;
    }
    bool Due() { return Due(Clock::now()); }

private:
    bool started_ = false;
    Clock::time_point last_{};
};

} // namespace tarnwick
