#include "ui/win32/win32_back_buffer.h"

namespace quenfall::ui {

BackBuffer::~BackBuffer() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

void BackBuffer::Paint(HDC target, SIZE size, const RECT& dirty, const std::function<void(HDC)>& draw) {
    if (bitmap_ == nullptr || size.cx != size_.cx || size.cy != size_.cy) {
        if (bitmap_ != nullptr) DeleteObject(bitmap_);
        bitmap_ = CreateCompatibleBitmap(target, size.cx, size.cy);
        size_ = size;
    }
    HDC dc = CreateCompatibleDC(target);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap_);
    IntersectClipRect(dc, dirty.left, dirty.top, dirty.right, dirty.bottom);
    draw(dc);
    BitBlt(target, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, dc, dirty.left, dirty.top,
           SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
}

}  // namespace quenfall::ui
