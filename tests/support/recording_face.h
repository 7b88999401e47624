#pragma once
// A face that draws nothing and records what the window's decisions ask of it, in order:
// the window's behaviour tested once, without any window system. Boxes and the open dialog
// return at once; whileOpen runs inside a box, as the box's own message loop would run
// timers and device notices.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "window/window_face.h"
#include "window/window_texts.h"

namespace quenfall::test {

struct RecordedBox {
    window::BoxOwner Owner;
    window::BoxIcon Icon;
    std::u16string Caption;
    std::u16string Text;
};

class RecordingFace : public window::WindowFace {
public:
    using ControlId = window::ControlId;

    void SetText(ControlId control, std::u16string_view text) override {
        calls.push_back(Name(control) + "=" + window::Utf8(text));
        texts[Index(control)] = std::u16string(text);
    }
    void SetCaption(std::u16string_view caption) override {
        calls.push_back("Caption=" + window::Utf8(caption));
        this->caption = std::u16string(caption);
    }
    void SetWidth(ControlId control, int pixels) override {
        calls.push_back(Name(control) + ".Width=" + std::to_string(pixels));
        widths[Index(control)] = pixels;
    }
    void SetTooltip(ControlId control, std::u16string_view text) override {
        tooltips[Index(control)] = std::u16string(text);
        if (control == ControlId::Image3) progressTips.emplace_back(text);
    }
    void SetVisible(ControlId control, bool visible) override {
        calls.push_back(Name(control) + (visible ? ".Show" : ".Hide"));
        visibility[Index(control)] = visible;
    }
    void ShowBox(window::BoxOwner owner, window::BoxIcon icon, std::u16string_view boxCaption,
                 std::u16string_view text) override {
        calls.push_back("Box " + window::Utf8(text));
        boxes.push_back({owner, icon, std::u16string(boxCaption), std::u16string(text)});
        if (whileOpen) whileOpen(boxes.back());
    }
    // Answers from askAnswers in order, then No, as a stray Enter would.
    bool AskBox(std::u16string_view boxCaption, std::u16string_view text) override {
        calls.push_back("Ask " + window::Utf8(text));
        questions.push_back({window::BoxOwner::Window, window::BoxIcon::None, std::u16string(boxCaption),
                             std::u16string(text)});
        if (askAnswers.empty()) return false;
        const bool answer = askAnswers.front();
        askAnswers.erase(askAnswers.begin());
        return answer;
    }
    std::optional<window::ChosenFile> OpenFileName(std::u16string_view filter) override {
        filters.emplace_back(filter);
        if (answers.empty()) return std::nullopt;
        std::optional<window::ChosenFile> answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    void RequestClose() override { calls.push_back("RequestClose"); }
    void Minimise() override { calls.push_back("Minimise"); }
    void StartSystemMove() override { calls.push_back("StartSystemMove"); }
    void SetHandCursor(bool hand) override { calls.push_back(hand ? "HandCursor" : "DefaultCursor"); }
    void OpenAddress(std::u16string_view address) override { calls.push_back("Open " + window::Utf8(address)); }
    void PaintNow() override { calls.push_back("PaintNow"); }

    const std::u16string& Text(ControlId control) const { return texts[Index(control)]; }
    // The width last set, or the layout's.
    int Width(ControlId control) const {
        return widths[Index(control)] ? *widths[Index(control)] : window::Spec(control).Width;
    }
    bool Visible(ControlId control) const {
        return visibility[Index(control)] ? *visibility[Index(control)] : window::Spec(control).Visible;
    }

    std::vector<std::string> calls;
    std::array<std::u16string, window::ControlCount> texts{};
    std::array<std::u16string, window::ControlCount> tooltips{};
    // Every tooltip the progress bar was given, in order.
    std::vector<std::u16string> progressTips;
    std::array<std::optional<int>, window::ControlCount> widths{};
    std::array<std::optional<bool>, window::ControlCount> visibility{};
    std::u16string caption;
    std::vector<RecordedBox> boxes;
    std::vector<RecordedBox> questions;
    std::vector<bool> askAnswers;
    std::vector<std::u16string> filters;
    // What the dialog answers, one per use; nothing (or none left) cancels it.
    std::vector<std::optional<window::ChosenFile>> answers;
    std::function<void(const RecordedBox&)> whileOpen;

private:
    static std::size_t Index(ControlId control) { return static_cast<std::size_t>(control); }
    static std::string Name(ControlId control) { return std::string(window::Spec(control).Name); }
};

}  // namespace quenfall::test
