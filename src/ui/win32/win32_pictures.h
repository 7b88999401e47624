#pragma once
// The window's pictures (window/picture_design.h) drawn with GDI+ into a device context,
// at device pixels: each function gets the rectangle the control has on this screen, so
// the pictures stay sharp at any DPI. GDI+ must have been started (GdiplusSession).
#include <windows.h>

#include "window/window_layout.h"

namespace quenfall::ui {

// Starts GDI+ for the life of the program.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

private:
    ULONG_PTR token_ = 0;
};

enum class FaceState { Normal, Hover, Pressed };

// A picture box's picture stretched to area; a picture button's face centred on area
// (faceWidth x faceHeight device pixels) and clipped to it. scale: device pixels per
// layout pixel, for the fixed lengths of the design.
void DrawPicture(HDC dc, window::Picture picture, const RECT& area, double scale);
void DrawFace(HDC dc, window::Picture face, const RECT& button, int faceWidth, int faceHeight, FaceState state,
              double scale);

// The application icon at size x size pixels, for the window and its taskbar button.
HICON MakeApplicationIcon(int size);

}  // namespace quenfall::ui
