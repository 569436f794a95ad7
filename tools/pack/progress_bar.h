// A progress bar on standard error while the data archive is written, only when asked for (the
// caller asks only when standard error is a terminal) and only once the work has run half a
// second, so short builds print nothing of the sort.
#pragma once

#include <chrono>
#include <cstdint>

namespace tarnwick::pack {

class TProgressBar {
public:
    explicit TProgressBar(bool enabled);
    ~TProgressBar() { clear(); }
    void update(std::uint64_t done, std::uint64_t total);
    void clear();

private:
    bool enabled_;
    bool shown_ = false;
    int lastPercent_ = -1;
    std::chrono::steady_clock::time_point started_;
};

bool isTerminal(int fd);

} // namespace tarnwick::pack
