// A TRunHost that records what a run does to the window, for tests that drive the runs without one.
#pragma once

#include "engine/run_host.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tarnwick::testing {

class RecordingHost final : public TRunHost {
public:
    void SetProgressMax(int max) override { max_ = max; }
    int ProgressMax() const override { return max_; }
    void SetProgressPosition(int position) override {
        position_ = std::clamp(position, 0, std::max(max_, 0));
        positions.push_back(position_);
    }
    int ProgressPosition() const override { return position_; }
    void SetProgressLabel(const std::string& text) override { labels.push_back(text); }
    void ProcessMessages() override { ++messagePasses; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Terminate() override { terminated = true; }
    void SetNavigationEnabled(bool enabled) override { navigation.push_back(enabled); }
    void PerformNext() override { ++nextActions; }

    std::vector<int> positions;
    std::vector<std::string> labels;
    std::vector<std::string> messages;
    std::vector<bool> navigation;
    int messagePasses = 0;
    int nextActions = 0;
    bool terminated = false;

private:
    int max_ = 100;
    int position_ = 0;
};

} // namespace tarnwick::testing
