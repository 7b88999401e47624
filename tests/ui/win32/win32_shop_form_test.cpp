// The Win32 shop window under wine (or Windows), through the start-up quenfall.exe --shop
// uses: an emulated crate, the package of the command line, the list view's rows, the
// user's input as window messages (Enter, clicks, WM_CLOSE) and the message loop pumped,
// the real message boxes closed by a watcher.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "history/history_reading.h"
#include "package/package_writer.h"
#include "startup/shop_start.h"
#include "ui/win32/win32_shop_form.h"
#include "upgrade/status_texts.h"
#include "win32_window_driver.h"
#include "window/shop_texts.h"
#include "window/window_texts.h"

using namespace quenfall;
using namespace quenfall::ui;
using namespace quenfall::ui::testing;
using namespace std::chrono_literals;
using window::ShopControl;

namespace {

std::u16string U(std::string_view text) { return window::Utf16(text); }

std::filesystem::path Unique(const wchar_t* stem) {
    static int count = 0;
    return std::filesystem::temp_directory_path() /
           (std::wstring(stem) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count));
}

// Sections 0 and 2 of model 0, as the emulated crate's radios take any package's model.
std::filesystem::path WritePackageFile() {
    PackageSpec spec;
    spec.ModelCode = 0;
    std::mt19937 random(7);
    std::vector<std::uint8_t> zero(6000), two(2048);
    for (auto& b : zero) b = static_cast<std::uint8_t>(random());
    for (auto& b : two) b = static_cast<std::uint8_t>(random());
    spec.Sections.push_back({0, 0, zero});
    spec.Sections.push_back({2, 2, two});
    const auto path = Unique(L"quenfall-shop") += L".bin";
    const auto bytes = WritePackage(spec);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// Runs the loop as quenfall.exe's does (keys through the form first) until done() or the
// limit; true when done() became true. Calls each() after every round of messages.
bool Pump(Win32ShopForm& form, const std::function<bool()>& done, std::chrono::milliseconds limit,
          const std::function<void()>& each = {}) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return done();
            if (form.PreTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (each) each();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PressEnter(HWND focused) {
    PostMessageW(focused, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(focused, WM_KEYUP, VK_RETURN, 0xC0000001);
}

class ShopWindowWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (probe == nullptr) GTEST_SKIP() << "no window station with a display (start Xvfb and set DISPLAY under wine)";
        DestroyWindow(probe);
        package = WritePackageFile();
        history = Unique(L"quenfall-shop-history") += L".csv";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove(package, ignored);
        std::filesystem::remove(history, ignored);
    }
    window::StartOptions Options(bool withPackage) const {
        window::StartOptions options;
        options.Shop = true;
        options.Emulate = true;
        options.EmulatedRadios = 4;
        if (withPackage) options.PackageFile = package.u16string();
        return options;
    }
    std::filesystem::path package;
    std::filesystem::path history;
};

// quenfall.exe --shop --emulate 4 PACKAGE, then Enter: all four radios upgraded.
TEST_F(ShopWindowWin32, EnterUpgradesTheWholeEmulatedCrate) {
    BoxWatcher boxes;
    Win32ShopForm::Options formOptions;
    formOptions.RegisterWatch = false;
    const std::filesystem::path record = history.parent_path() / "crate-record.csv";
    std::vector<std::wstring> saveFilters;
    formOptions.ChooseSaveFile = [&](const std::wstring& filter, std::u16string_view suggested) {
        saveFilters.push_back(filter);
        EXPECT_EQ(suggested, window::RecordFileName);
        return std::optional<window::ChosenFile>(window::ChosenFile{record, record.u16string()});
    };
    Win32ShopForm form(formOptions);
    startup::ShopStart start(Options(true), form, u"Quenfall", history);
    form.Attach(start.Window());
    form.Show();
    ASSERT_TRUE(Pump(form, [&] { return GetFocus() != nullptr; }, 30s));

    wchar_t caption[64] = {};
    GetWindowTextW(form.Handle(), caption, 64);
    EXPECT_STREQ(caption, L"Quenfall Shop");
    EXPECT_NE(GetWindowLongW(form.Handle(), GWL_STYLE) & WS_THICKFRAME, 0);  // resizable
    // One row per radio, labelled by its location; the package loaded as Select would.
    ASSERT_EQ(form.ShownRows(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_FALSE(form.CellText(i, window::ShopColumn::Location).empty()) << i;
        EXPECT_EQ(form.CellText(i, window::ShopColumn::Node), start.Window().Row(i).Node) << i;
    }
    EXPECT_EQ(form.Text(ShopControl::PackageEdit), package.u16string());
    EXPECT_NE(form.Text(ShopControl::PackageVerdict), window::Utf16(window::NoPackageText));
    // Upgrade all is the default button and has the focus; nothing ticks before a run.
    EXPECT_EQ(form.DefaultButton(), ShopControl::UpgradeAllButton);
    EXPECT_EQ(GetFocus(), form.ControlHandle(ShopControl::UpgradeAllButton));
    EXPECT_NE(GetWindowLongW(form.ControlHandle(ShopControl::UpgradeAllButton), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    EXPECT_FALSE(form.RefreshTimerOn());
    // Station mode's check box, off unless asked for.
    EXPECT_EQ(form.Text(ShopControl::StationCheck), window::Utf16(window::StationCheckText));
    EXPECT_EQ(GetWindowLongW(form.ControlHandle(ShopControl::StationCheck), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_FALSE(form.Checked(ShopControl::StationCheck));
    // Tab goes through the controls in the window's tab order, skipping the disabled ones.
    std::vector<HWND> expected, tabbed;
    for (ShopControl c : window::ShopTabOrder)
        if (IsWindowEnabled(form.ControlHandle(c))) expected.push_back(form.ControlHandle(c));
    HWND next = form.ControlHandle(ShopControl::PackageEdit);
    do {
        tabbed.push_back(next);
        next = GetNextDlgTabItem(form.Handle(), next, FALSE);
    } while (next != nullptr && next != tabbed.front() && tabbed.size() <= expected.size());
    EXPECT_EQ(tabbed, expected);

    PressEnter(GetFocus());
    bool ticked = false;
    std::size_t widestSeen = 0;
    ASSERT_TRUE(Pump(form, [&] { return start.Window().Running(); }, 30s));
    ASSERT_TRUE(Pump(
        form, [&] { return !start.Window().Running() && !form.RefreshTimerOn(); }, 180s,
        [&] {
            ticked = ticked || form.RefreshTimerOn();
            for (std::size_t i = 0; i < form.ShownRows(); ++i) {
                widestSeen = std::max<std::size_t>(widestSeen, static_cast<std::size_t>(form.ShownRow(i).ProgressWidth));
            }
        }));
    EXPECT_TRUE(ticked);
    EXPECT_GT(widestSeen, 0u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(form.CellText(i, window::ShopColumn::Status), U(UpgradeCompleteText)) << i;
        EXPECT_EQ(form.ShownRow(i).Outcome, window::RowOutcome::Success) << i;
        EXPECT_FALSE(form.CellText(i, window::ShopColumn::Elapsed).empty()) << i;
    }
    EXPECT_EQ(form.Text(ShopControl::Summary), u"4 of 4 radios upgraded");
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(ReadHistoryFile(history).Records.size(), 4u);

    // The serial column, and the crate's record saved where the save dialog says.
    EXPECT_EQ(form.CellText(1, window::ShopColumn::Serial), u"EMULATED-0002 (emulated)");
    SendMessageW(form.ControlHandle(ShopControl::SaveRecordButton), BM_CLICK, 0, 0);
    ASSERT_EQ(saveFilters.size(), 1u);
    EXPECT_EQ(saveFilters[0], std::wstring(L"CSV file (*.csv)\0*.csv\0", 24));
    std::ifstream saved(record, std::ios::binary);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(saved, line)) lines.push_back(line);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "location,serial,emulated,node,package,sha256,outcome,seconds,start\r");
    EXPECT_EQ(lines[2].rfind("1-1.2,EMULATED-0002,true,", 0), 0u) << lines[2];

    // Once every run has ended, the window closes.
    PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(Pump(form, [&] { return !IsWindow(form.Handle()); }, 30s));
}

// Select, the buttons and closing reach the window's decisions; closing during a run is refused.
TEST_F(ShopWindowWin32, ClicksAndClosingAreForwardedAndARunKeepsTheWindowOpen) {
    BoxWatcher boxes;
    std::vector<std::wstring> filters;
    Win32ShopForm::Options formOptions;
    formOptions.RegisterWatch = false;
    formOptions.ChooseFile = [&](const std::wstring& filter) -> std::optional<window::ChosenFile> {
        filters.push_back(filter);
        return window::ChosenFile{package, package.u16string()};
    };
    Win32ShopForm form(formOptions);
    startup::ShopStart start(Options(false), form, u"Quenfall", history);
    form.Attach(start.Window());
    form.Show();
    ASSERT_TRUE(Pump(form, [&] { return form.ShownRows() == 4; }, 30s));
    EXPECT_EQ(form.Text(ShopControl::PackageVerdict), window::Utf16(window::NoPackageText));
    EXPECT_FALSE(IsWindowEnabled(form.ControlHandle(ShopControl::UpgradeAllButton)));

    SendMessageW(form.ControlHandle(ShopControl::SelectButton), BM_CLICK, 0, 0);
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].substr(0, 7), L"Bin Fil");
    EXPECT_NE(form.Text(ShopControl::PackageVerdict), window::Utf16(window::NoPackageText));
    EXPECT_TRUE(IsWindowEnabled(form.ControlHandle(ShopControl::UpgradeAllButton)));
    EXPECT_FALSE(IsWindowEnabled(form.ControlHandle(ShopControl::RetryFailedButton)));

    SendMessageW(form.ControlHandle(ShopControl::UpgradeAllButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(start.Window().Running());
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(form.Handle()));
    const auto seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Text, std::wstring(reinterpret_cast<const wchar_t*>(window::Utf16(window::RunsGoOnText).c_str())));
    EXPECT_EQ(seen[0].Owner, form.Handle());
    ASSERT_TRUE(Pump(form, [&] { return !start.Window().Running(); }, 180s));
    PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(Pump(form, [&] { return !IsWindow(form.Handle()); }, 30s));
}

// What assistive technology reads: each control's name through oleacc, the edit and the list
// named by the labels before them.
// The window asks its station's questions through Post: never at once (the poll that posts is
// still on the stack), in the order posted, from the window's queue.
TEST_F(ShopWindowWin32, PostedTasksRunFromTheQueueInOrder) {
    Win32ShopForm::Options formOptions;
    formOptions.RegisterWatch = false;
    Win32ShopForm form(formOptions);
    window::ShopFace& face = form;
    std::vector<int> ran;
    face.Post([&] {
        ran.push_back(1);
        face.Post([&] { ran.push_back(3); });
    });
    face.Post([&] { ran.push_back(2); });
    EXPECT_TRUE(ran.empty());
    ASSERT_TRUE(Pump(form, [&] { return ran.size() == 3; }, 10s));
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST_F(ShopWindowWin32, EveryControlHasItsNameForAssistiveTechnology) {
    Win32ShopForm::Options formOptions;
    formOptions.RegisterWatch = false;
    Win32ShopForm form(formOptions);
    startup::ShopStart start(Options(true), form, u"Quenfall", history);
    form.Attach(start.Window());
    form.Show();
    ASSERT_TRUE(Pump(form, [&] { return GetFocus() != nullptr; }, 30s));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    auto nameOf = [](HWND control) {
        IAccessible* object = nullptr;
        const HRESULT found = AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                         reinterpret_cast<void**>(&object));
        if (FAILED(found) || object == nullptr) return L"(no object: " + std::to_wstring(found) + L")";
        VARIANT self;
        VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        std::wstring text = L"(no name)";
        if (SUCCEEDED(object->get_accName(self, &name)) && name != nullptr) text = name;
        SysFreeString(name);
        object->Release();
        return text;
    };
    EXPECT_EQ(nameOf(form.ControlHandle(ShopControl::PackageEdit)), L"Package");
    EXPECT_EQ(nameOf(form.ControlHandle(ShopControl::SelectButton)), L"Select...");
    EXPECT_EQ(nameOf(form.ControlHandle(ShopControl::RadioList)), L"Radios");
    EXPECT_EQ(nameOf(form.ControlHandle(ShopControl::UpgradeAllButton)), L"Upgrade all");
    EXPECT_EQ(nameOf(form.ControlHandle(ShopControl::RetryFailedButton)), L"Retry failed");
    CoUninitialize();
}

}  // namespace
