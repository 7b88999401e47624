// The Win32 window as assistive technology reads it through oleacc (MSAA): the form's
// object found by AccessibleObjectFromWindow, each control's name, role, state and value,
// Edit1 named by its label, the picture buttons pressed through their default action, and
// the status line and the progress bar read at every change of an emulated upgrade, with
// the WinEvents that tell a screen reader to read them. Under wine as far as wine's oleacc
// goes; what a screen reader makes of it only Windows can tell.
#include <windows.h>

#include <oleacc.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "package/package_writer.h"
#include "emulator/emulated_radio.h"
#include "ui/win32/win32_pictures.h"
#include "ui/win32/win32_accessibility.h"
#include "ui/win32/win32_flash_form.h"
#include "upgrade/status_texts.h"
#include "win32_window_driver.h"
#include "emulator/emulated_radio_link.h"
#include "startup/radio_choice.h"
#include "startup/window_link.h"
#include "window/window_texts.h"

using namespace quenfall;
using namespace quenfall::ui;
using namespace quenfall::ui::testing;
using namespace std::chrono_literals;
using window::ControlId;

namespace {

std::u16string U(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

// An interface pointer that releases itself.
template <typename Interface>
struct Held {
    Interface* Object = nullptr;
    ~Held() {
        if (Object != nullptr) Object->Release();
    }
    Interface* operator->() const { return Object; }
    void** Out() { return reinterpret_cast<void**>(&Object); }
};

VARIANT Child(LONG id) {
    VARIANT child;
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

LONG ChildOf(ControlId id) {
    const std::optional<LONG> child = Win32Accessibility::ChildId(id);
    EXPECT_TRUE(child.has_value()) << window::Spec(id).Name;
    return child.value_or(-1);
}

// The text an IAccessible getter hands out, or "<hr>" when it fails.
template <typename Getter>
std::u16string Read(Getter getter) {
    BSTR text = nullptr;
    const HRESULT result = getter(&text);
    if (result != S_OK) return u"<" + U(std::to_wstring(result)) + u">";
    std::u16string read = text != nullptr ? U(std::wstring(text, SysStringLen(text))) : std::u16string();
    SysFreeString(text);
    return read;
}

std::u16string Name(IAccessible* object, LONG child) {
    return Read([&](BSTR* text) { return object->get_accName(Child(child), text); });
}
std::u16string Value(IAccessible* object, LONG child) {
    return Read([&](BSTR* text) { return object->get_accValue(Child(child), text); });
}
std::u16string Description(IAccessible* object, LONG child) {
    return Read([&](BSTR* text) { return object->get_accDescription(Child(child), text); });
}
LONG Role(IAccessible* object, LONG child) {
    VARIANT role;
    role.vt = VT_EMPTY;
    if (object->get_accRole(Child(child), &role) != S_OK || role.vt != VT_I4) return -1;
    return role.lVal;
}
LONG State(IAccessible* object, LONG child) {
    VARIANT state;
    state.vt = VT_EMPTY;
    if (object->get_accState(Child(child), &state) != S_OK || state.vt != VT_I4) return -1;
    return state.lVal;
}

std::filesystem::path WritePackage(std::size_t sectionSize) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(sectionSize);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    PackageSpec spec;
    spec.ModelCode = 0;
    spec.ScrambleMode = 1;
    spec.Sections.push_back({0, 0, bytes});
    const auto path = std::filesystem::temp_directory_path() / L"quenfall-accessibility-win32.bin";
    const auto written = quenfall::WritePackage(spec);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(written.data()),
                                                static_cast<std::streamsize>(written.size()));
    return path;
}

class Win32Accessibility_ : public ::testing::Test {
protected:
    void SetUp() override {
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (probe == nullptr) GTEST_SKIP() << "no window station with a display (start Xvfb and set DISPLAY under wine)";
        DestroyWindow(probe);
    }
    GdiplusSession gdiplus;
};

void ShowAndWait(Win32FlashForm& form) {
    bool painted = false;
    form.OnFirstPaint([&] { painted = true; });
    form.Show();
    ASSERT_TRUE(PumpUntil(form, [&] { return painted; }, 10s));
}

TEST_F(Win32Accessibility_, EveryControlHasItsNameRoleAndState) {
    EmulatedRadio radio(EmulatedRadioConfig{});
    radio.Unplug();
    Win32FlashForm::Options options;
    options.RegisterWatch = false;
    BoxWatcher watcher;
    auto owned = std::make_unique<Win32FlashForm>(radio, options);
    Win32FlashForm& form = *owned;
    ShowAndWait(form);

    Held<IAccessible> client;
    ASSERT_EQ(AccessibleObjectFromWindow(form.Handle(), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), client.Out()),
              S_OK);
    EXPECT_EQ(Name(client.Object, CHILDID_SELF), u"Quenfall v7.1");
    EXPECT_EQ(Role(client.Object, CHILDID_SELF), ROLE_SYSTEM_CLIENT);
    LONG count = 0;
    ASSERT_EQ(client->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 17);  // every control but the background and the title icon

    struct Expected {
        ControlId Id;
        LONG Role;
        std::u16string Name;
        bool Visible;
    };
    const Expected expected[] = {
        {ControlId::Label2, ROLE_SYSTEM_STATICTEXT, u"Quenfall v7.1", true},
        {ControlId::SpeedButton1, ROLE_SYSTEM_PUSHBUTTON, u"Close", true},
        {ControlId::Label1, ROLE_SYSTEM_STATICTEXT, u"Firmware", true},
        {ControlId::SpeedButton2, ROLE_SYSTEM_PUSHBUTTON, u"Minimise", true},
        {ControlId::Image3, ROLE_SYSTEM_PROGRESSBAR, u"Upgrade progress", true},
        {ControlId::Label5, ROLE_SYSTEM_STATUSBAR, window::Utf16(NoDeviceText), true},
        {ControlId::Label3, ROLE_SYSTEM_LINK, window::Utf16(window::HomePageAddress), false},
        {ControlId::Label6, ROLE_SYSTEM_STATICTEXT, window::Utf16(window::Step1Text), true},
        {ControlId::Label7, ROLE_SYSTEM_STATICTEXT, window::Utf16(window::Step2Text), true},
        {ControlId::Label8, ROLE_SYSTEM_STATICTEXT, window::Utf16(window::Step3Text), true},
        {ControlId::Label9, ROLE_SYSTEM_STATICTEXT, window::Utf16(window::Step4Text), true},
        {ControlId::Image4, ROLE_SYSTEM_GRAPHIC, u"Upgrade complete", false},
        {ControlId::Image5, ROLE_SYSTEM_GRAPHIC, u"Upgrade failed", false},
        {ControlId::Label4, ROLE_SYSTEM_STATICTEXT, u"For All Model.", true},
    };
    for (const Expected& control : expected) {
        const LONG child = ChildOf(control.Id);
        const char* name = window::Spec(control.Id).Name.data();
        EXPECT_EQ(Role(client.Object, child), control.Role) << name;
        EXPECT_EQ(Name(client.Object, child), control.Name) << name;
        EXPECT_EQ((State(client.Object, child) & STATE_SYSTEM_INVISIBLE) == 0, control.Visible) << name;
        // The drawn ones are simple children of the form's object.
        IDispatch* object = reinterpret_cast<IDispatch*>(1);
        EXPECT_EQ(client->get_accChild(Child(child), &object), S_FALSE) << name;
        EXPECT_EQ(object, nullptr) << name;
    }
    EXPECT_EQ(Description(client.Object, ChildOf(ControlId::Image4)), u"Upgrade complete");
    EXPECT_EQ(Description(client.Object, ChildOf(ControlId::Image5)), u"Upgrade failed");
    EXPECT_EQ(Value(client.Object, ChildOf(ControlId::Image3)), u"0%");

    // The progress bar's box is its whole track, empty or not; the Close button is found
    // where it is drawn.
    LONG left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(client->accLocation(&left, &top, &width, &height, Child(ChildOf(ControlId::Image3))), S_OK);
    EXPECT_EQ(width, window::Scaled(700, form.Dpi()));
    EXPECT_EQ(height, window::Scaled(22, form.Dpi()));
    const RECT close = form.Bounds(ControlId::SpeedButton1);
    POINT middle{(close.left + close.right) / 2 + 2, (close.top + close.bottom) / 2};
    ClientToScreen(form.Handle(), &middle);
    VARIANT hit;
    hit.vt = VT_EMPTY;
    ASSERT_EQ(client->accHitTest(middle.x, middle.y, &hit), S_OK);
    ASSERT_EQ(hit.vt, VT_I4);
    EXPECT_EQ(hit.lVal, ChildOf(ControlId::SpeedButton1));

    // The native controls are children too, their windows' own objects; Edit1 is named by
    // its label, which the form draws.
    for (ControlId id : {ControlId::Edit1, ControlId::Button1, ControlId::Button2}) {
        Held<IDispatch> object;
        EXPECT_EQ(client->get_accChild(Child(ChildOf(id)), reinterpret_cast<IDispatch**>(object.Out())), S_OK)
            << window::Spec(id).Name;
        EXPECT_NE(object.Object, nullptr) << window::Spec(id).Name;
    }
    Held<IAccessible> edit;
    ASSERT_EQ(AccessibleObjectFromWindow(form.ControlHandle(ControlId::Edit1), static_cast<DWORD>(OBJID_CLIENT),
                                         __uuidof(IAccessible), edit.Out()),
              S_OK);
    EXPECT_EQ(Name(edit.Object, CHILDID_SELF), u"Firmware");
    EXPECT_EQ(Role(edit.Object, CHILDID_SELF), ROLE_SYSTEM_TEXT);

    // The Minimise button through its default action, as a screen reader presses it.
    EXPECT_EQ(Read([&](BSTR* text) { return client->get_accDefaultAction(Child(ChildOf(ControlId::SpeedButton2)), text); }),
              u"Press");
    ASSERT_EQ(client->accDoDefaultAction(Child(ChildOf(ControlId::SpeedButton2))), S_OK);
    EXPECT_TRUE(PumpUntil(form, [&] { return IsIconic(form.Handle()) != FALSE; }, 5s));
    ShowWindow(form.Handle(), SW_RESTORE);
    // And Close closes it.
    ASSERT_EQ(client->accDoDefaultAction(Child(ChildOf(ControlId::SpeedButton1))), S_OK);
    EXPECT_TRUE(PumpUntil(form, [&] { return IsWindow(form.Handle()) == FALSE; }, 5s));
    EXPECT_TRUE(watcher.Boxes().empty());
    // A screen reader may keep the object after the window has gone: it then fails instead of
    // reading a form that is no more.
    owned.reset();
    EXPECT_EQ(client->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(Name(client.Object, ChildOf(ControlId::Label5)), u"<" + U(std::to_wstring(CO_E_OBJNOTCONNECTED)) + u">");
}

struct HeardEvent {
    DWORD Event;
    std::u16string Read;
};
std::vector<HeardEvent>* heardEvents = nullptr;
HWND heardWindow = nullptr;

void CALLBACK Heard(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (heardEvents == nullptr || window != heardWindow || object != OBJID_CLIENT) return;
    Held<IAccessible> accessible;
    VARIANT which;
    which.vt = VT_EMPTY;
    if (AccessibleObjectFromEvent(window, static_cast<DWORD>(object), static_cast<DWORD>(child), &accessible.Object,
                                  &which) != S_OK) {
        return;
    }
    const LONG id = which.vt == VT_I4 ? which.lVal : CHILDID_SELF;
    heardEvents->push_back({event, event == EVENT_OBJECT_VALUECHANGE ? Value(accessible.Object, id) : Name(accessible.Object, id)});
}

TEST_F(Win32Accessibility_, StatusLineAndProgressAreReadAtEveryChangeOfAnUpgrade) {
    const std::filesystem::path package = WritePackage(8 * 2048);
    Win32FlashForm* target = nullptr;
    EmulatedRadioLink link([&target](std::function<void()> task) {
        if (target != nullptr) target->Post(std::move(task));
    });
    Win32FlashForm::Options options;
    options.RegisterWatch = false;
    options.ChooseFile = [&](const std::wstring&) -> std::optional<window::ChosenFile> {
        return window::ChosenFile{package, U(package.wstring())};
    };
    BoxWatcher watcher;
    Win32FlashForm form(link, options);
    target = &form;
    const auto windowRadio = EmulatedWindowRadioOver(link);
    startup::Attach(*windowRadio, form.Window());
    form.Every(EmulatedRadioLink::AdvanceIntervalMs, [&] { link.Advance(); });
    ShowAndWait(form);

    Held<IAccessible> client;
    ASSERT_EQ(AccessibleObjectFromWindow(form.Handle(), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible), client.Out()),
              S_OK);
    // What the form's object says at each change, read as the change happens.
    std::vector<std::u16string> statuses, values, descriptions;
    form.Window().OnStatusText([&](std::u16string_view) { statuses.push_back(Name(client.Object, ChildOf(ControlId::Label5))); });
    form.Window().OnProgressWidth([&](int) {
        values.push_back(Value(client.Object, ChildOf(ControlId::Image3)));
        descriptions.push_back(Description(client.Object, ChildOf(ControlId::Image3)));
    });
    std::vector<HeardEvent> events;
    heardEvents = &events;
    heardWindow = form.Handle();
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_VALUECHANGE, nullptr, Heard,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);

    SendMessageW(form.ControlHandle(ControlId::Button1), BM_CLICK, 0, 0);
    Held<IAccessible> edit;
    ASSERT_EQ(AccessibleObjectFromWindow(form.ControlHandle(ControlId::Edit1), static_cast<DWORD>(OBJID_CLIENT),
                                         __uuidof(IAccessible), edit.Out()),
              S_OK);
    EXPECT_EQ(Name(edit.Object, CHILDID_SELF), u"Firmware");
    EXPECT_EQ(Value(edit.Object, CHILDID_SELF), U(package.wstring()));

    SendMessageW(form.ControlHandle(ControlId::Button2), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil(form, [&] { return !watcher.Boxes().empty(); }, 40s)) << "no completion box";
    PumpFor(form, 300ms);
    if (hook != nullptr) UnhookWinEvent(hook);
    heardEvents = nullptr;

    const std::vector<std::u16string> expectedStatuses = {
        window::Utf16(EnteringBootModeText), window::Utf16(NoDeviceText), window::Utf16(DeviceConnectedText),
        window::Utf16(UpgradingText),        window::Utf16(UpgradingText), window::Utf16(UpgradeCompleteText)};
    EXPECT_EQ(statuses, expectedStatuses);
    // Eight blocks, all sent: the bar goes up in eighths (88, 177, ... 710 pixels, rounded to
    // whole percent) and empties at the end.
    const std::vector<std::u16string> expectedValues = {u"0%",  u"12%", u"25%", u"37%", u"50%",
                                                        u"62%", u"75%", u"87%", u"100%", u"0%"};
    EXPECT_EQ(values, expectedValues);
    // The bar's description and tooltip carry the run's estimate while it goes on, and say
    // it completed once it has.
    EXPECT_NE(std::find_if(descriptions.begin(), descriptions.end(),
                           [](const std::u16string& d) { return d.ends_with(u" left, uploading"); }),
              descriptions.end())
        << window::Utf8(descriptions.back());
    EXPECT_EQ(Description(client.Object, ChildOf(ControlId::Image3)), u"100%, done");
    EXPECT_EQ(form.TooltipText(ControlId::Image3), u"100%, done");
    EXPECT_EQ(State(client.Object, ChildOf(ControlId::Image4)) & STATE_SYSTEM_INVISIBLE, 0);
    EXPECT_NE(State(client.Object, ChildOf(ControlId::Image5)) & STATE_SYSTEM_INVISIBLE, 0);

    // The WinEvents a screen reader follows, each read back through the object it names.
    std::vector<std::u16string> namesHeard, valuesHeard;
    bool completeShown = false;
    for (const HeardEvent& event : events) {
        if (event.Event == EVENT_OBJECT_NAMECHANGE) namesHeard.push_back(event.Read);
        if (event.Event == EVENT_OBJECT_VALUECHANGE) valuesHeard.push_back(event.Read);
        if (event.Event == EVENT_OBJECT_SHOW && event.Read == u"Upgrade complete") completeShown = true;
    }
    std::printf("WinEvents heard: %zu (%zu name changes, %zu value changes)\n", events.size(), namesHeard.size(),
                valuesHeard.size());
    EXPECT_EQ(namesHeard, expectedStatuses);
    // The run's first width is the bar's width already: no change, no event.
    EXPECT_EQ(valuesHeard, std::vector<std::u16string>(expectedValues.begin() + 1, expectedValues.end()));
    EXPECT_TRUE(completeShown);

    SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
    std::filesystem::remove(package);
}

}  // namespace
