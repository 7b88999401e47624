#pragma once
// An off-screen bitmap the size of the client area. Everything is drawn into it and copied
// to the screen in one piece, so the status line and the progress bar change on every tick
// without flicker.
#include <windows.h>

#include <functional>

namespace quenfall::ui {

class BackBuffer {
public:
    BackBuffer() = default;
    ~BackBuffer();
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;

    // Runs draw on a device context over the buffer (made anew when size changed), clipped to
    // dirty, then copies dirty to target.
    void Paint(HDC target, SIZE size, const RECT& dirty, const std::function<void(HDC)>& draw);

private:
    HBITMAP bitmap_ = nullptr;
    SIZE size_{};
};

}  // namespace quenfall::ui
