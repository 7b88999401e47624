#pragma once
// The upgrade's view that records every call, in order and by kind: the sequencer's, the
// device watch's and the command line's tests read what the user would have seen from it.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "upgrade/upgrade_view.h"

namespace quenfall::test {

class RecordView : public UpgradeView {
public:
    void SetStatusText(std::string_view text) override {
        Log.push_back("text:" + std::string(text));
        Texts.emplace_back(text);
        Status = std::string(text);
    }
    void SetProgressWidth(int pixels) override {
        Log.push_back("width:" + std::to_string(pixels));
        Widths.push_back(pixels);
        Width = pixels;
    }
    void SetSuccessIconVisible(bool visible) override {
        Log.push_back(std::string("success:") + (visible ? "1" : "0"));
        SuccessIcon = visible;
    }
    void SetFailureIconVisible(bool visible) override {
        Log.push_back(std::string("failure:") + (visible ? "1" : "0"));
        FailureIcon = visible;
    }
    void ShowInfo(std::string_view text) override {
        Log.push_back("info:" + std::string(text));
        if (OnInfo) OnInfo();
    }
    void ShowError(std::string_view text, std::string_view caption) override {
        Log.push_back("error:" + std::string(text) + "|" + std::string(caption));
        Errors.emplace_back(text);
    }
    void Pause(std::chrono::milliseconds duration) override {
        Log.push_back("pause:" + std::to_string(duration.count()));
        if (OnPause) OnPause(duration);
    }

    std::vector<std::string> Log;
    std::vector<std::string> Texts;
    std::vector<int> Widths;
    std::vector<std::string> Errors;
    std::string Status;
    int Width = -1;
    bool SuccessIcon = false;
    bool FailureIcon = false;
    std::function<void()> OnInfo;  // runs inside the "modal" box
    std::function<void(std::chrono::milliseconds)> OnPause;
};

}  // namespace quenfall::test
