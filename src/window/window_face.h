#pragma once
// What the window's decisions ask of a face (Qt, Win32): the controls of the layout, the
// boxes, the dialog and the few window-system actions. A face does what it is told and
// reports the user's input back to FlashWindow; it decides nothing.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "window/window_layout.h"

namespace quenfall::window {

enum class BoxIcon { None, Error };
enum class BoxOwner { Screen, Window };  // Window: owned by the window, which is disabled meanwhile
enum class MouseButton { Left, Right, Middle, Other };
// The keys the window has a rule for; a face reports every other key as Other.
enum class Key { Enter, Other };

struct ChosenFile {
    std::filesystem::path Path;  // as the file system names it
    std::u16string Text;         // as the dialog showed it
};

class WindowFace {
public:
    virtual ~WindowFace() = default;
    // Labels (which then take the size of their text), Edit1, the push buttons.
    virtual void SetText(ControlId control, std::u16string_view text) = 0;
    virtual void SetCaption(std::u16string_view caption) = 0;
    virtual void SetWidth(ControlId control, int layoutPixels) = 0;
    virtual void SetVisible(ControlId control, bool visible) = 0;
    // What control shows while the pointer rests on it, in place of its layout's hint;
    // empty takes the tooltip away.
    virtual void SetTooltip(ControlId control, std::u16string_view text) = 0;
    // Modal, one OK button; returns when the user has closed it. Timers and device changes
    // go on being handled meanwhile.
    virtual void ShowBox(BoxOwner owner, BoxIcon icon, std::u16string_view caption, std::u16string_view text) = 0;
    // Modal, owned by the window, Yes and No buttons, No the default (a stray Enter answers
    // No); true for Yes.
    virtual bool AskBox(std::u16string_view caption, std::u16string_view text) = 0;
    // The platform's open dialog, no title, no initial folder; filter is written as
    // "description|pattern;pattern|...". Nothing when the user cancels.
    virtual std::optional<ChosenFile> OpenFileName(std::u16string_view filter) = 0;
    // Asks the window to close; the face asks FlashWindow::CloseQuery before it does.
    virtual void RequestClose() = 0;
    virtual void Minimise() = 0;
    // The window system moves the window with the pointer until the button is released.
    virtual void StartSystemMove() = 0;
    virtual void SetHandCursor(bool hand) = 0;
    virtual void OpenAddress(std::u16string_view address) = 0;
    // Paints what changed at once: nothing will be handled for a while.
    virtual void PaintNow() = 0;
};

}  // namespace quenfall::window
