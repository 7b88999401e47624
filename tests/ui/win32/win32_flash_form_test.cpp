// The Win32 window under wine (or Windows), driven through its own messages: button clicks
// as BM_CLICK, mouse messages on the drawn controls, WM_CLOSE, WM_DEVICECHANGE with real
// notification records, the message loop pumped, and the real message boxes closed by a
// watcher. Instead of the open dialog, the path goes to the code the dialog feeds.
#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <dlgs.h>
#include <thread>
#include <filesystem>
#include <fstream>

#include "platform/usb_watch_filter.h"
#include "package/package_writer.h"
#include "emulator/emulated_radio.h"
#include "ui/win32/win32_pictures.h"
#include "ui/win32/win32_flash_form.h"
#include "german_catalogue.h"
#include "upgrade/status_texts.h"
#include "win32_window_driver.h"
#include "emulator/emulated_radio_link.h"
#include "startup/radio_choice.h"
#include "startup/window_link.h"
#include "window/tooltips.h"
#include "window/window_texts.h"
#include "window_run_fixtures.h"

using namespace quenfall;
using namespace quenfall::ui;
using namespace quenfall::ui::testing;
using namespace std::chrono_literals;
using window::ControlId;

namespace {

std::wstring W(std::u16string_view text) { return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size()); }
std::wstring W(std::string_view text) { return W(window::Utf16(text)); }
std::u16string U(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

using test::CountingLink;
using test::RadioConfig;
using test::TwoSectionSpec;

// Sections 0 (5000 bytes) and 2 (2048 bytes): four blocks in all.
std::filesystem::path WriteTwoSectionPackage() {
    const PackageSpec spec = TwoSectionSpec();
    const auto path = std::filesystem::temp_directory_path() / L"quenfall-\u6d4b\u8bd5-win32.bin";
    const auto bytes = WritePackage(spec);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

struct Chooser {
    std::vector<std::wstring> filters;
    std::filesystem::path answer;
    Win32FlashForm::Options Options(bool registerWatch = false) {
        Win32FlashForm::Options options;
        options.RegisterWatch = registerWatch;
        options.ChooseFile = [this](const std::wstring& filter) -> std::optional<window::ChosenFile> {
            filters.push_back(filter);
            if (answer.empty()) return std::nullopt;
            return window::ChosenFile{answer, U(answer.wstring())};
        };
        return options;
    }
};

class Win32Window : public ::testing::Test {
protected:
    void SetUp() override {
        // A window needs a display: wine without an X server has none.
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (probe == nullptr) GTEST_SKIP() << "no window station with a display (start Xvfb and set DISPLAY under wine)";
        DestroyWindow(probe);
        package = WriteTwoSectionPackage();
    }
    void TearDown() override {
        if (!package.empty()) std::filesystem::remove(package);
    }
    GdiplusSession gdiplus;
    std::filesystem::path package;
};

void ShowAndWait(Win32FlashForm& form) {
    bool painted = false;
    form.OnFirstPaint([&] { painted = true; });
    form.Show();
    ASSERT_TRUE(PumpUntil(form, [&] { return painted; }, 10s));
}

// The texts the face creates its controls with (the layout's) and those the window sets, in
// the chosen language; the title stays as it is.
TEST_F(Win32Window, AChosenLanguageShowsOnTheNativeControls) {
    const test::GermanCatalogueInUse german;
    EmulatedRadio radio(RadioConfig());
    radio.Unplug();
    Chooser chooser;
    BoxWatcher watcher;
    Win32FlashForm form(radio, chooser.Options());
    ShowAndWait(form);
    EXPECT_EQ(form.Text(ControlId::Label2), u"Quenfall v7.1");
    EXPECT_EQ(form.Text(ControlId::Label1), u"Firmware-Datei");
    EXPECT_EQ(form.Text(ControlId::Button1), u"Auswählen(*.bin,*.boot)");
    EXPECT_EQ(form.Text(ControlId::Button2), u"Aktualisieren");
    EXPECT_EQ(form.Text(ControlId::Label5), u" Kein Gerät gefunden!");
    EXPECT_EQ(form.Text(ControlId::Label6),
              u"Schritt 1. Das Funkgerät mit dem Programmierkabel an einen USB-Anschluss des PCs anschließen.");
    // What the catalogue lacks stays English.
    EXPECT_EQ(form.Text(ControlId::Label7), window::Utf16(window::Step2Text));
}

TEST_F(Win32Window, AppearsBorderlessWithCaptionLayoutAndTexts) {
    EmulatedRadio radio(RadioConfig());
    radio.Unplug();
    Chooser chooser;
    BoxWatcher watcher;
    Win32FlashForm form(radio, chooser.Options());
    ShowAndWait(form);

    wchar_t caption[64] = {};
    GetWindowTextW(form.Handle(), caption, 64);
    EXPECT_EQ(std::wstring(caption), L"Quenfall v7.1");
    RECT client{};
    GetClientRect(form.Handle(), &client);
    const int dpi = form.Dpi();
    EXPECT_EQ(client.right, window::Scaled(770, dpi));
    EXPECT_EQ(client.bottom, window::Scaled(431, dpi));
    const LONG_PTR style = GetWindowLongPtrW(form.Handle(), GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);  // its own taskbar button
    EXPECT_EQ(GetParent(form.Handle()), nullptr);

    // FormShow's texts, the status line without a radio, the empty progress bar.
    EXPECT_EQ(form.Text(ControlId::Label2), u"Quenfall v7.1");
    EXPECT_EQ(form.Text(ControlId::Label1), u"Firmware");
    EXPECT_EQ(form.Text(ControlId::Label4), u"For All Model.");
    EXPECT_EQ(form.Text(ControlId::Button1), u"Select(*.bin,*.boot)");
    EXPECT_EQ(form.Text(ControlId::Button2), u"Upgrade");
    EXPECT_EQ(form.Text(ControlId::Label7), window::Utf16(window::Step2Text));
    EXPECT_EQ(form.Text(ControlId::Label5), window::Utf16(NoDeviceText));
    EXPECT_EQ(form.Bounds(ControlId::Image3).right - form.Bounds(ControlId::Image3).left, 0);
    EXPECT_FALSE(form.Visible(ControlId::Image4));
    EXPECT_FALSE(form.Visible(ControlId::Image5));
    EXPECT_FALSE(form.Visible(ControlId::Label3));
    EXPECT_EQ(form.Text(ControlId::Edit1), u"");
    EXPECT_TRUE(GetWindowLongPtrW(form.ControlHandle(ControlId::Edit1), GWL_STYLE) & ES_READONLY);

    // The native controls where the layout puts them, in tab order.
    for (ControlId id : {ControlId::Edit1, ControlId::Button1, ControlId::Button2}) {
        const window::ControlSpec& spec = window::Spec(id);
        RECT box{};
        GetWindowRect(form.ControlHandle(id), &box);
        MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&box), 2);
        EXPECT_EQ(box.left, window::Scaled(spec.Left, dpi)) << spec.Name;
        EXPECT_EQ(box.top, window::Scaled(spec.Top, dpi)) << spec.Name;
        EXPECT_EQ(box.right - box.left, window::Scaled(spec.Width, dpi)) << spec.Name;
        EXPECT_EQ(box.bottom - box.top, window::Scaled(spec.Height, dpi)) << spec.Name;
    }
    EXPECT_EQ(GetNextDlgTabItem(form.Handle(), form.ControlHandle(ControlId::Edit1), FALSE),
              form.ControlHandle(ControlId::Button1));
    EXPECT_EQ(GetNextDlgTabItem(form.Handle(), form.ControlHandle(ControlId::Button1), FALSE),
              form.ControlHandle(ControlId::Button2));
    // The window's tooltips, on the drawn controls that have one.
    EXPECT_EQ(form.TooltipText(ControlId::SpeedButton1), u"Close");
    EXPECT_EQ(form.TooltipText(ControlId::SpeedButton2), u"Minimized");
    EXPECT_EQ(form.TooltipText(ControlId::Image2), window::Tooltip(ControlId::Image2));
    EXPECT_EQ(form.TooltipText(ControlId::Label2), window::Tooltip(ControlId::Label2));
    EXPECT_EQ(form.TooltipText(ControlId::Label6), u"");
    // Label7's carriage return gives it two lines.
    const RECT step1 = form.Bounds(ControlId::Label6);
    const RECT step2 = form.Bounds(ControlId::Label7);
    EXPECT_GE(step2.bottom - step2.top, 2 * (step1.bottom - step1.top) - 2);

    // The pointer over Label4 shows the hand; a click there opens nothing; only the left
    // button on the background would drag (which would enter the system's move loop).
    ClickAt(form, ControlId::Label4);
    EXPECT_TRUE(form.HandCursor());
    SendMessageW(form.Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(form.HandCursor());
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(Win32Window, EmulatedUpgradeDrivenByClicksEndsComplete) {
    Win32FlashForm* target = nullptr;
    EmulatedRadioLink link([&target](std::function<void()> task) {
        if (target != nullptr) target->Post(std::move(task));
    });
    Chooser chooser;
    chooser.answer = package;
    BoxWatcher watcher;
    Win32FlashForm form(link, chooser.Options());
    target = &form;
    const auto windowRadio = EmulatedWindowRadioOver(link);
    startup::Attach(*windowRadio, form.Window());
    form.Every(EmulatedRadioLink::AdvanceIntervalMs, [&] { link.Advance(); });
    ShowAndWait(form);

    // What the statuses and widths are is the window's (tests/window); here, that the face
    // shows them on its own timers.
    double completeAt = -1;
    form.Window().OnStatusText([&](std::u16string_view text) {
        if (text == window::Utf16(UpgradeCompleteText)) completeAt = NowMs();
    });

    SendMessageW(form.ControlHandle(ControlId::Button1), BM_CLICK, 0, 0);
    ASSERT_EQ(chooser.filters.size(), 1u);
    EXPECT_EQ(chooser.filters[0], std::wstring(L"Bin File (*.bin,*.boot)\0*.bin;*.boot\0\0", 38));
    ASSERT_NE(form.Window().LoadedPackage(), nullptr);
    EXPECT_EQ(form.Text(ControlId::Edit1), U(package.wstring()));

    const double clickedAt = NowMs();
    SendMessageW(form.ControlHandle(ControlId::Button2), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil(form, [&] { return !watcher.Boxes().empty(); }, 40s)) << "no completion box";
    PumpFor(form, 200ms);

    const std::vector<SeenBox> boxes = watcher.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, W(CompletionMessage));
    EXPECT_EQ(boxes[0].Caption, W(form.Window().Title()));
    EXPECT_EQ(boxes[0].Owner, nullptr);
    EXPECT_FALSE(boxes[0].HasIcon);
    // The box comes after the two-second pause, which follows the completion text.
    EXPECT_GE(boxes[0].At - completeAt, 1990);

    // The radio restarted into boot mode (away and back, reported by the watch), then took
    // the four blocks.
    EXPECT_EQ(form.Text(ControlId::Label5), window::Utf16(UpgradeCompleteText));
    EXPECT_TRUE(form.Visible(ControlId::Image4));
    EXPECT_FALSE(form.Visible(ControlId::Image5));
    EXPECT_FALSE(form.Window().Busy());
    EXPECT_EQ(link.Radio().Restarts(), 1u);
    EXPECT_TRUE(link.Radio().Violations().empty());
    EXPECT_TRUE(link.Radio().CompareSections(SectionsOf(*form.Window().LoadedPackage())).empty());
    // 800 ticks of restart wait, then the answers and two ticks per block: the window's
    // timers cannot be faster than 10 ms a tick.
    EXPECT_GE(completeAt - clickedAt, (800 + 2 * 4) * 10.0);

    // Closing after the run is allowed.
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(form.Handle()));
}

TEST_F(Win32Window, UsbInterfaceArrivalScansAndReportsOneSecondLater) {
    EmulatedRadio radio(RadioConfig());
    CountingLink link(radio);
    Chooser chooser;
    BoxWatcher watcher;
    Win32FlashForm form(link, chooser.Options(/*registerWatch=*/true));
    EXPECT_TRUE(form.DeviceWatchRegistered());
    ShowAndWait(form);
    EXPECT_EQ(form.Text(ControlId::Label5), u"");

    DEV_BROADCAST_DEVICEINTERFACE_W usb{};
    usb.dbcc_size = sizeof usb;
    usb.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(&usb.dbcc_classguid, UsbDeviceInterfaceClass.data(), sizeof(GUID));
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << 4;
    DEV_BROADCAST_DEVICEINTERFACE_W otherClass = usb;
    otherClass.dbcc_classguid.Data1 ^= 1;

    // Not about a USB device: nothing happens.
    const int scansBefore = link.scans;
    SendMessageW(form.Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    SendMessageW(form.Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&otherClass));
    SendMessageW(form.Handle(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    SendMessageW(form.Handle(), WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, reinterpret_cast<LPARAM>(&usb));
    EXPECT_EQ(link.scans, scansBefore);
    PumpFor(form, 1200ms);
    EXPECT_EQ(form.Text(ControlId::Label5), u"");

    // A USB arrival scans at once and reports one second later; a second event within that
    // second scans again but does not postpone the report.
    const double sentAt = NowMs();
    SendMessageW(form.Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&usb));
    EXPECT_EQ(link.scans, scansBefore + 1);
    EXPECT_EQ(form.Text(ControlId::Label5), u"");
    PumpFor(form, 500ms);
    SendMessageW(form.Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&usb));
    EXPECT_EQ(link.scans, scansBefore + 2);
    ASSERT_TRUE(PumpUntil(form, [&] { return form.Text(ControlId::Label5) == window::Utf16(DeviceConnectedText); }, 5s));
    const double reportedAfter = NowMs() - sentAt;
    EXPECT_GE(reportedAfter, 990);
    EXPECT_LT(reportedAfter, 1450);
    EXPECT_EQ(link.scans, scansBefore + 3);

    radio.Unplug();
    SendMessageW(form.Handle(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&usb));
    ASSERT_TRUE(PumpUntil(form, [&] { return form.Text(ControlId::Label5) == window::Utf16(NoDeviceText); }, 5s));
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(Win32Window, BusyRefusesClosing) {
    EmulatedRadio radio(RadioConfig());
    // The first block is never acknowledged: the upload stays under way for one answer
    // window, then ends as a communication error.
    radio.SetSilent(RequestMatch::Every(RequestKind::Block));
    Chooser chooser;
    chooser.answer = package;
    BoxWatcher watcher;
    Win32FlashForm form(radio, chooser.Options());
    ShowAndWait(form);
    SendMessageW(form.ControlHandle(ControlId::Button1), BM_CLICK, 0, 0);
    ASSERT_NE(form.Window().LoadedPackage(), nullptr);

    SendMessageW(form.ControlHandle(ControlId::Button2), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil(form, [&] { return form.Window().Busy(); }, 5s));

    // The window refuses; the face keeps the window for WM_CLOSE and the close button alike.
    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(form.Handle()));
    ClickAt(form, ControlId::SpeedButton1);
    EXPECT_TRUE(IsWindow(form.Handle()));
    EXPECT_TRUE(IsWindowVisible(form.Handle()));

    ASSERT_TRUE(PumpUntil(form, [&] { return form.Text(ControlId::Label5) == window::Utf16(CommunicationErrorText); }, 20s));
    EXPECT_FALSE(form.Window().Busy());
    EXPECT_TRUE(form.Visible(ControlId::Image5));
    EXPECT_EQ(radio.OpenChannels(), 0u);
    EXPECT_TRUE(watcher.Boxes().empty());
    // Not busy any more: the close button closes.
    ClickAt(form, ControlId::SpeedButton1);
    EXPECT_FALSE(IsWindow(form.Handle()));
}

TEST_F(Win32Window, EnterPressesTheFocusedButtonAndErrorsGoToBoxes) {
    EmulatedRadio radio(RadioConfig());
    radio.Unplug();
    Chooser chooser;
    chooser.answer = package;
    BoxWatcher watcher;
    Win32FlashForm form(radio, chooser.Options());
    ShowAndWait(form);

    SetFocus(form.ControlHandle(ControlId::Button1));
    PostMessageW(form.ControlHandle(ControlId::Button1), WM_KEYDOWN, VK_RETURN, 0);
    PumpFor(form, 100ms);
    EXPECT_EQ(chooser.filters.size(), 1u);
    ASSERT_NE(form.Window().LoadedPackage(), nullptr);

    // Upgrade with no radio: the connection error, owned by the window, with its icon.
    SetFocus(form.ControlHandle(ControlId::Button2));
    PostMessageW(form.ControlHandle(ControlId::Button2), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil(form, [&] { return !watcher.Boxes().empty(); }, 5s));
    const SeenBox box = watcher.Boxes()[0];
    EXPECT_EQ(box.Text, W(CannotConnectMessage));
    EXPECT_EQ(box.Caption, L"Error");
    EXPECT_EQ(box.Owner, form.Handle());
    EXPECT_TRUE(box.HasIcon);
}

// Dragging by the background: the window asks the system to move it with the pointer by
// sending itself WM_SYSCOMMAND with the move command (the move itself is the window
// manager's, which Xvfb has none of). Seen by a procedure put in front of the window's own.
WNDPROC original = nullptr;
std::vector<WPARAM> systemCommands;
LRESULT CALLBACK Recording(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOMMAND) systemCommands.push_back(wParam);
    return CallWindowProcW(original, window, message, wParam, lParam);
}

TEST_F(Win32Window, OnlyTheLeftButtonOnTheBackgroundStartsTheSystemMove) {
    EmulatedRadio radio(RadioConfig());
    Win32FlashForm::Options options;
    options.RegisterWatch = false;
    Win32FlashForm form(radio, options);
    ShowAndWait(form);
    systemCommands.clear();
    original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(form.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recording)));

    const LPARAM background = MAKELPARAM(300, 110);
    SendMessageW(form.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, background);
    SendMessageW(form.Handle(), WM_RBUTTONUP, 0, background);
    SendMessageW(form.Handle(), WM_MBUTTONDOWN, MK_MBUTTON, background);
    SendMessageW(form.Handle(), WM_MBUTTONUP, 0, background);
    // Labels, the title icon and the progress bar's place take their own presses.
    for (ControlId other : {ControlId::Label6, ControlId::Image2, ControlId::Label4}) {
        const RECT box = form.Bounds(other);
        SendMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(box.left + 2, box.top + 2));
        SendMessageW(form.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(box.left + 2, box.top + 2));
    }
    EXPECT_TRUE(systemCommands.empty());
    // The system's move loop runs until the button is released: released from another thread.
    std::thread release([window = form.Handle(), background] {
        Sleep(300);
        PostMessageW(window, WM_LBUTTONUP, 0, background);
        PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    SendMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, background);
    release.join();
    EXPECT_EQ(systemCommands, std::vector<WPARAM>{0xF017});
    SetWindowLongPtrW(form.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
}

// The platform's open dialog itself: a watcher reads its filter list, types the package's
// path into its file name box and presses Open.
TEST_F(Win32Window, OpenDialogListsThePackageFilterAndLoadsTheChosenFile) {
    EmulatedRadio radio(RadioConfig());
    Win32FlashForm::Options options;
    options.RegisterWatch = false;
    Win32FlashForm form(radio, options);
    ShowAndWait(form);

    const DWORD uiThread = GetCurrentThreadId();
    std::vector<std::wstring> filterEntries;
    HWND dialogOwner = nullptr;
    std::atomic<bool> answered{false};
    std::atomic<bool> quit{false};
    const std::wstring path = package.wstring();
    // Answers until the dialog has closed: a dialog still filling its lists may miss the
    // first answer. Any other box (a complaint about the name) is closed with OK; after ten
    // seconds the dialog is cancelled, so the test fails instead of hanging.
    std::thread user([&] {
        int attempts = 0;
        while (!quit) {
            const std::vector<HWND> dialogs = VisibleDialogs(uiThread);
            for (HWND dialog : dialogs) {
                HWND types = GetDlgItem(dialog, cmb1);
                if (types == nullptr) {
                    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                    continue;
                }
                const auto count = SendMessageW(types, CB_GETCOUNT, 0, 0);
                if (count <= 0) continue;  // not filled in yet
                if (filterEntries.empty()) {
                    for (LRESULT i = 0; i < count; ++i) {
                        wchar_t entry[256] = {};
                        SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
                        filterEntries.emplace_back(entry);
                    }
                    dialogOwner = GetWindow(dialog, GW_OWNER);
                }
                // The file name box: a combo box in the Explorer-style dialog, an edit in the old one.
                SetDlgItemTextW(dialog, GetDlgItem(dialog, cmb13) != nullptr ? cmb13 : edt1, path.c_str());
                const int button = ++attempts > 40 ? IDCANCEL : IDOK;
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
                answered = true;
            }
            Sleep(250);
        }
    });
    SendMessageW(form.ControlHandle(ControlId::Button1), BM_CLICK, 0, 0);
    quit = true;
    user.join();
    ASSERT_TRUE(answered) << "no open dialog appeared";
    EXPECT_EQ(filterEntries, std::vector<std::wstring>{L"Bin File (*.bin,*.boot)"});
    EXPECT_EQ(dialogOwner, form.Handle());
    ASSERT_NE(form.Window().LoadedPackage(), nullptr);
    // The dialog may hand back the path in its own spelling (drive letter, separators).
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(W(form.Text(ControlId::Edit1))), package));
}

}  // namespace
