#include "progress_bar.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#define TARNWICK_ISATTY _isatty
#else
#include <unistd.h>
#define TARNWICK_ISATTY isatty
#endif

namespace tarnwick::pack {

TProgressBar::TProgressBar(bool enabled) : enabled_(enabled), started_(std::chrono::steady_clock::now()) {}

void TProgressBar::update(std::uint64_t done, std::uint64_t total) {
    if (!enabled_ || total == 0) return;
    if (std::chrono::steady_clock::now() - started_ < std::chrono::milliseconds(500)) return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    const int filled = percent * 40 / 100;
    std::fprintf(stderr, "\rcompressing [%s%s] %3d%% of %llu MB", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(40 - filled), ' ').c_str(), percent,
                 static_cast<unsigned long long>(total >> 20));
    std::fflush(stderr);
    shown_ = true;
}

void TProgressBar::clear() {
    if (!shown_) return;
    std::fprintf(stderr, "\r%75s\r", "");
    std::fflush(stderr);
    shown_ = false;
}

bool isTerminal(int fd) { return TARNWICK_ISATTY(fd) != 0; }

} // namespace tarnwick::pack
