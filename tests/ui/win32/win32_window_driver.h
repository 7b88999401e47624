#pragma once
// Drives the Win32 window from its own thread as a user would: messages to the window and
// its controls, the message loop pumped while waiting, and every message box closed by a
// watcher thread that notes what it showed. Shared by the tests and the benchmark.
#include <windows.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/win32/win32_flash_form.h"

namespace quenfall::ui::testing {

struct SeenBox {
    std::wstring Caption;
    std::wstring Text;
    HWND Owner = nullptr;
    bool HasIcon = false;
    double At = 0;  // ms on the driver's clock
};

// Milliseconds since the first call.
double NowMs();

// The dialogs (message boxes, the open dialog) that the thread shows now.
std::vector<HWND> VisibleDialogs(DWORD thread);

// Closes every message box of the window's thread as soon as it shows, after noting it.
class BoxWatcher {
public:
    BoxWatcher();
    ~BoxWatcher();
    std::vector<SeenBox> Boxes() const;

private:
    void Watch();
    DWORD thread_;
    mutable std::mutex lock_;
    std::vector<SeenBox> boxes_;
    std::vector<HWND> handled_;
    bool quit_ = false;
    std::thread watcher_;
};

// Runs the window's message loop until done() or the limit; true when done() became true.
bool PumpUntil(Win32FlashForm& form, const std::function<bool()>& done, std::chrono::milliseconds limit);
void PumpFor(Win32FlashForm& form, std::chrono::milliseconds duration);

// A left click on the control's box in the window, as the mouse sends it.
void ClickAt(Win32FlashForm& form, window::ControlId control);

}  // namespace quenfall::ui::testing
