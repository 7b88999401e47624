#include "ui/win32/win32_flash_form.h"

namespace quenfall::ui {
namespace {

using window::ControlId;
using window::ControlKind;
using window::ControlSpec;

COLORREF TextColour(const ControlSpec& spec) {
    if (!spec.HasColour) return GetSysColor(COLOR_WINDOWTEXT);
    return RGB(spec.Colour.Red, spec.Colour.Green, spec.Colour.Blue);
}

}  // namespace

void Win32FlashForm::MeasureLabel(ControlId id) {
    Control& control = At(id);
    HDC dc = GetDC(window_handle_);
    HGDIOBJ old = SelectObject(dc, ControlFont(id));
    RECT box{0, 0, 0, 0};
    const std::wstring lines = LabelLines(control.Text);
    if (lines.empty()) {
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        control.Shown = SIZE{0, metrics.tmHeight};
    } else {
        DrawTextW(dc, lines.c_str(), static_cast<int>(lines.size()), &box, DT_CALCRECT | DT_LEFT | DT_NOPREFIX);
        control.Shown = SIZE{box.right - box.left, box.bottom - box.top};
    }
    SelectObject(dc, old);
    ReleaseDC(window_handle_, dc);
}

void Win32FlashForm::Paint(HDC target, const RECT& dirty) {
    RECT client{};
    GetClientRect(window_handle_, &client);
    buffer_.Paint(target, SIZE{client.right, client.bottom}, dirty, [&](HDC dc) { DrawControls(dc, dirty); });
}

void Win32FlashForm::DrawControls(HDC dc, const RECT& dirty) {
    const double scale = static_cast<double>(dpi_) / window::DesignDpi;
    SetBkMode(dc, TRANSPARENT);
    for (const ControlSpec& spec : window::Layout()) {
        const Control& control = At(spec.Id);
        if (control.Native != nullptr || !control.Visible) continue;
        RECT box = Bounds(spec.Id);
        RECT overlap{};
        if (!IntersectRect(&overlap, &box, &dirty)) continue;
        switch (spec.Kind) {
        case ControlKind::Picture:
            if (spec.PictureWidth != 0) {
                // Drawn unscaled (in layout pixels) at the box's top left.
                box.right = box.left + Px(spec.PictureWidth);
                box.bottom = box.top + Px(spec.PictureHeight);
            }
            DrawPicture(dc, spec.Shows, box, scale);
            break;
        case ControlKind::PictureButton: {
            FaceState state = FaceState::Normal;
            if (pressed_ == spec.Id && hovered_ == spec.Id) {
                state = FaceState::Pressed;
            } else if (hovered_ == spec.Id) {
                state = FaceState::Hover;
            }
            DrawFace(dc, spec.Shows, box, Px(spec.PictureWidth), Px(spec.PictureHeight), state, scale);
            break;
        }
        case ControlKind::Label: {
            HGDIOBJ oldFont = SelectObject(dc, ControlFont(spec.Id));
            SetTextColor(dc, TextColour(spec));
            const std::wstring lines = LabelLines(control.Text);
            DrawTextW(dc, lines.c_str(), static_cast<int>(lines.size()), &box, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_NOCLIP);
            SelectObject(dc, oldFont);
            break;
        }
        default:
            break;
        }
    }
}


}  // namespace quenfall::ui
