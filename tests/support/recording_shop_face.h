#pragma once
// A shop face that draws nothing and records what the shop window's decisions ask of it:
// the rows as they stand, every SetRow in order, the controls' texts and states, the boxes,
// the refresh timer. Boxes, questions and the dialog return at once.
#include <algorithm>
#include <array>
#include <functional>
#include <stdexcept>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "window/shop_face.h"
#include "window/window_texts.h"

namespace quenfall::test {

struct RecordedShopBox {
    window::BoxIcon Icon;
    std::u16string Caption;
    std::u16string Text;
};

class RecordingShopFace : public window::ShopFace {
public:
    using ShopControl = window::ShopControl;

    void SetCaption(std::u16string_view text) override { caption = std::u16string(text); }
    void SetText(ShopControl control, std::u16string_view text) override { texts[Index(control)] = std::u16string(text); }
    void SetEnabled(ShopControl control, bool on) override { enabled[Index(control)] = on; }
    void SetChecked(ShopControl control, bool on) override { checked[Index(control)] = on; }
    void SetDefaultButton(ShopControl button) override { defaultButton = button; }
    void SetFocus(ShopControl control) override { focus.push_back(control); }
    void SetRowCount(std::size_t count) override {
        rows.resize(count);
        ++rowCountCalls;
    }
    void SetRow(std::size_t index, const window::ShopRowView& row) override {
        if (index >= rows.size()) throw std::logic_error("SetRow beyond the rows");
        rows[index] = row;
        setRows.push_back(index);
        setRowViews.push_back(row);
        if (widest.size() <= index) widest.resize(index + 1);
        widest[index] = std::max(widest[index], row.ProgressWidth);
    }
    void ShowBox(window::BoxIcon icon, std::u16string_view boxCaption, std::u16string_view text) override {
        boxes.push_back({icon, std::u16string(boxCaption), std::u16string(text)});
    }
    // Answers from askAnswers in order, then No, as a stray Enter would; whileAsking runs
    // first, as what happens while the box is open.
    bool AskBox(std::u16string_view boxCaption, std::u16string_view text) override {
        questions.push_back({window::BoxIcon::None, std::u16string(boxCaption), std::u16string(text)});
        ++asking;
        if (whileAsking) whileAsking();
        --asking;
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
    std::optional<window::ChosenFile> SaveFileName(std::u16string_view filter, std::u16string_view suggested) override {
        saveDialogs.emplace_back(std::u16string(filter), std::u16string(suggested));
        if (saveAnswers.empty()) return std::nullopt;
        std::optional<window::ChosenFile> answer = saveAnswers.front();
        saveAnswers.erase(saveAnswers.begin());
        return answer;
    }
    void SetRefreshTimer(bool on) override {
        refreshOn = on;
        timerCalls.push_back(on);
    }
    // Kept until RunPosted, as a face's queue keeps them until its handler returns.
    void Post(std::function<void()> task) override { posted.push_back(std::move(task)); }
    // Runs what was posted, and what that posts, in order. Returns how many ran.
    std::size_t RunPosted() {
        std::size_t ran = 0;
        while (!posted.empty()) {
            std::function<void()> task = std::move(posted.front());
            posted.erase(posted.begin());
            task();
            ++ran;
        }
        return ran;
    }

    const std::u16string& Text(ShopControl control) const { return texts[Index(control)]; }
    bool Enabled(ShopControl control) const { return enabled[Index(control)].value_or(true); }
    bool Checked(ShopControl control) const { return checked[Index(control)].value_or(false); }

    std::u16string caption;
    std::array<std::u16string, window::ShopControlCount> texts{};
    std::array<std::optional<bool>, window::ShopControlCount> enabled{};
    std::array<std::optional<bool>, window::ShopControlCount> checked{};
    std::optional<ShopControl> defaultButton;
    std::vector<ShopControl> focus;
    std::vector<window::ShopRowView> rows;
    std::vector<std::size_t> setRows;  // the index of every SetRow, in order
    std::vector<window::ShopRowView> setRowViews;  // what every SetRow showed, in order
    std::vector<int> widest;           // the widest progress each row was painted with
    int rowCountCalls = 0;
    std::vector<RecordedShopBox> boxes;
    std::vector<RecordedShopBox> questions;
    std::vector<bool> askAnswers;
    std::function<void()> whileAsking;
    int asking = 0;  // questions open now
    std::vector<std::function<void()>> posted;
    std::vector<std::u16string> filters;
    std::vector<window::ChosenFile> answers;
    std::vector<std::pair<std::u16string, std::u16string>> saveDialogs;  // filter, suggested name
    std::vector<window::ChosenFile> saveAnswers;
    bool refreshOn = false;
    std::vector<bool> timerCalls;

private:
    static std::size_t Index(ShopControl control) { return static_cast<std::size_t>(control); }
};

}  // namespace quenfall::test
