// The Win32 timer grid against the timer bank's contract (tests/support), under wine or on
// Windows: a message-only window takes the bank's firings as the form's window procedure
// does, and the rig pumps its messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "timer_bank_contract.h"
#include "ui/win32/win32_timer_bank.h"

using namespace quenfall;

namespace {

class Win32Rig : public test::TimerBankRig {
public:
    static std::unique_ptr<test::TimerBankRig> Make() {
        auto rig = std::unique_ptr<Win32Rig>(new Win32Rig);
        if (rig->window_ == nullptr) return nullptr;
        rig->bank_ = std::make_unique<ui::Win32TimerBank>(rig->window_);
        return rig;
    }
    ~Win32Rig() override {
        bank_.reset();
        if (window_ != nullptr) DestroyWindow(window_);
    }
    TimerBank& Bank() override { return *bank_; }
    void SetDispatch(std::function<void(TimerId)> dispatch) override { dispatch_ = std::move(dispatch); }
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) override {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(left.count(), 5)), QS_ALLINPUT);
            MSG message;
            while (!done() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        }
        return true;
    }
    std::chrono::milliseconds Elapsed() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
    }

private:
    Win32Rig() {
        WNDCLASSW type{};
        type.lpfnWndProc = Procedure;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"QuenfallTimerBankRig";
        RegisterClassW(&type);  // again for every rig: fails harmlessly once registered
        window_ = CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
        if (window_ != nullptr) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    // What the form's window procedure does with a firing.
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* rig = reinterpret_cast<Win32Rig*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == ui::Win32TimerBank::FiredMessage && rig != nullptr && rig->bank_) {
            if (const std::optional<TimerId> id = rig->bank_->Take(wParam, lParam)) {
                if (rig->dispatch_) rig->dispatch_(*id);
                rig->bank_->TickDone();
            }
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    std::unique_ptr<ui::Win32TimerBank> bank_;
    std::function<void(TimerId)> dispatch_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::unique_ptr<test::TimerBankRig> MakeWin32Rig() { return Win32Rig::Make(); }

using test::TimerBankContract;
INSTANTIATE_TEST_SUITE_P(Win32TimerBank, TimerBankContract, ::testing::Values(&MakeWin32Rig), quenfall::test::RigName);

}  // namespace
