#pragma once
// The design of the window's pictures, shared by the faces' painters (QPainter, GDI+) so
// both draw the same thing: colours, gradient stops and shapes. Lengths are layout pixels;
// the icons are designed in a 32 x 32 box and scaled to theirs.
#include <array>

#include "window/window_layout.h"

namespace quenfall::window::design {

struct Point { double X, Y; };
struct Box { double Left, Top, Width, Height; };
struct Stop { double At; Rgb Colour; };

// Background: a blue band with a vertical gradient, a light line under it, a pale body with
// a vertical gradient and a one-pixel border.
inline constexpr int BandHeight = 64;
inline constexpr Rgb BandTop{0x1f, 0x5f, 0xb8};
inline constexpr Rgb BandBottom{0x2f, 0x7c, 0xd6};
inline constexpr Rgb BodyTop{0xea, 0xf3, 0xfc};
inline constexpr Rgb BodyBottom{0xd6, 0xe7, 0xf8};
inline constexpr Rgb BandLine{0x9c, 0xc4, 0xee};
inline constexpr Rgb Border{0x1a, 0x4f, 0x99};

// The application icon: a handheld radio (antenna, body, display, 3 x 3 keys) and a green
// arrow pointing down into it.
inline constexpr double IconDesignSize = 32;
inline constexpr Box Antenna{8.5, 1.5, 3, 10};
inline constexpr double AntennaRadius = 1.2;
inline constexpr Rgb AntennaColour{0x30, 0x30, 0x38};
inline constexpr Box Body{6.5, 8.5, 15, 22};
inline constexpr double BodyRadius = 2.5;
inline constexpr Point BodyGradientFrom{6, 8};
inline constexpr Point BodyGradientTo{22, 30};
inline constexpr Rgb BodyLight{0x4a, 0x4f, 0x5c};
inline constexpr Rgb BodyDark{0x22, 0x25, 0x2d};
inline constexpr Rgb BodyEdge{0x12, 0x14, 0x18};
inline constexpr double BodyEdgeWidth = 0.8;
inline constexpr Box Display{8.5, 11, 11, 6};
inline constexpr double DisplayRadius = 1;
inline constexpr Rgb DisplayColour{0x8f, 0xd8, 0xff};
inline constexpr Point FirstKey{9, 19.5};
inline constexpr Point KeyPitch{3.6, 3.2};
inline constexpr double KeyWidth = 2.4;
inline constexpr double KeyHeight = 2;
inline constexpr Rgb KeyColour{0xb8, 0xbe, 0xc8};
inline constexpr std::array<Point, 7> Arrow = {{{24.5, 9}, {29, 9}, {29, 17}, {31.5, 17}, {26.75, 23.5}, {22, 17}, {24.5, 17}}};
inline constexpr Rgb ArrowFill{0x2e, 0xc2, 0x4a};
inline constexpr Rgb ArrowEdge{0x0c, 0x5c, 0x1c};
inline constexpr double ArrowEdgeWidth = 0.8;

// The progress bar: green, lighter at the top.
inline constexpr std::array<Stop, 3> ProgressStops = {{{0, {0x8a, 0xe8, 0x7a}}, {0.45, {0x3c, 0xc0, 0x3a}}, {1, {0x1e, 0x8e, 0x22}}}};

// The flat buttons: nothing behind the white mark at rest (the band shows), a ground under
// the pointer and a darker one held down.
inline constexpr Rgb CloseHover{0xe0, 0x2e, 0x2e};
inline constexpr Rgb ClosePressed{0x9c, 0x14, 0x14};
inline constexpr double CloseCrossHalf = 4.0;
inline constexpr double CloseCrossWidth = 1.6;
inline constexpr Rgb MinimiseHover{0x3f, 0x8c, 0xe6};
inline constexpr Rgb MinimisePressed{0x17, 0x48, 0x8c};
inline constexpr Box MinimiseBar{-5, 2, 10, 2};  // from the face's centre

// The result icons: a shaded disc (inset one pixel, lit from the upper left) with a white
// mark; sizes relative to the icon's width.
inline constexpr Rgb SuccessLight{0x6c, 0xe0, 0x6c};
inline constexpr Rgb SuccessDark{0x1c, 0x94, 0x2a};
inline constexpr Rgb FailureLight{0xff, 0x7a, 0x6e};
inline constexpr Rgb FailureDark{0xc0, 0x1c, 0x1c};
inline constexpr double DiscLightOffset = 1.0 / 5;  // of the disc's size, up and left of its centre
inline constexpr double DiscGradientRadius = 0.75;  // of the disc's width
inline constexpr int DiscEdgeDarker = 130;          // the edge is the dark colour / 1.30
inline constexpr std::array<Point, 3> Tick = {{{0.27, 0.52}, {0.44, 0.69}, {0.74, 0.33}}};
inline constexpr double MarkWidth = 0.11;
inline constexpr double FailureCrossHalf = 0.2;

constexpr Rgb Darker(Rgb colour, int factor) {
    return {static_cast<std::uint8_t>(colour.Red * 100 / factor), static_cast<std::uint8_t>(colour.Green * 100 / factor),
            static_cast<std::uint8_t>(colour.Blue * 100 / factor)};
}

}  // namespace quenfall::window::design
