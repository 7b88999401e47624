#include "ui/win32/win32_pictures.h"

#include <objidl.h>

#include <algorithm>
#include <cmath>
// GDI+'s headers use min and max unqualified.
using std::max;
using std::min;
#include <gdiplus.h>

#include "window/picture_design.h"

namespace quenfall::ui {
namespace {

namespace d = window::design;
namespace gp = Gdiplus;

gp::Color C(window::Rgb colour, BYTE alpha = 255) { return gp::Color(alpha, colour.Red, colour.Green, colour.Blue); }
gp::RectF R(d::Box box) {
    return gp::RectF(static_cast<gp::REAL>(box.Left), static_cast<gp::REAL>(box.Top), static_cast<gp::REAL>(box.Width),
                     static_cast<gp::REAL>(box.Height));
}
gp::PointF P(d::Point point) { return gp::PointF(static_cast<gp::REAL>(point.X), static_cast<gp::REAL>(point.Y)); }

void AddRoundedRect(gp::GraphicsPath& path, const gp::RectF& box, gp::REAL radius) {
    const gp::REAL diameter = radius * 2;
    path.AddArc(box.X, box.Y, diameter, diameter, 180, 90);
    path.AddArc(box.X + box.Width - diameter, box.Y, diameter, diameter, 270, 90);
    path.AddArc(box.X + box.Width - diameter, box.Y + box.Height - diameter, diameter, diameter, 0, 90);
    path.AddArc(box.X, box.Y + box.Height - diameter, diameter, diameter, 90, 90);
    path.CloseFigure();
}

void FillRoundedRect(gp::Graphics& graphics, const gp::Brush& brush, const gp::Pen* pen, d::Box box, double radius) {
    gp::GraphicsPath path;
    AddRoundedRect(path, R(box), static_cast<gp::REAL>(radius));
    graphics.FillPath(&brush, &path);
    if (pen != nullptr) graphics.DrawPath(pen, &path);
}

// A vertical gradient over [top, bottom) that does not repeat at its edges.
void FillVertical(gp::Graphics& graphics, gp::RectF area, window::Rgb top, window::Rgb bottom) {
    if (area.Height <= 0 || area.Width <= 0) return;
    gp::LinearGradientBrush brush(gp::PointF(0, area.Y - 0.5f), gp::PointF(0, area.Y + area.Height + 0.5f), C(top),
                                  C(bottom));
    graphics.FillRectangle(&brush, area);
}

void DrawCross(gp::Graphics& graphics, gp::PointF centre, gp::REAL half, gp::REAL width) {
    gp::Pen pen(gp::Color(255, 255, 255, 255), width);
    pen.SetStartCap(gp::LineCapRound);
    pen.SetEndCap(gp::LineCapRound);
    graphics.DrawLine(&pen, centre.X - half, centre.Y - half, centre.X + half, centre.Y + half);
    graphics.DrawLine(&pen, centre.X - half, centre.Y + half, centre.X + half, centre.Y - half);
}

void DrawDisc(gp::Graphics& graphics, const gp::RectF& area, window::Rgb light, window::Rgb dark) {
    const gp::RectF disc(area.X + 1, area.Y + 1, area.Width - 2, area.Height - 2);
    const gp::PointF centre(disc.X + disc.Width / 2, disc.Y + disc.Height / 2);
    const auto lightOffset = static_cast<gp::REAL>(d::DiscLightOffset);
    const gp::PointF focus(centre.X - disc.Width * lightOffset, centre.Y - disc.Height * lightOffset);
    const gp::REAL radius = disc.Width * static_cast<gp::REAL>(d::DiscGradientRadius);
    // A radial gradient: a circle around the light spot, light at its centre, dark at its rim;
    // the disc is filled dark first, since the circle does not cover all of it.
    gp::SolidBrush ground(C(dark));
    graphics.FillEllipse(&ground, disc);
    gp::GraphicsPath circle;
    circle.AddEllipse(focus.X - radius, focus.Y - radius, radius * 2, radius * 2);
    gp::PathGradientBrush shade(&circle);
    shade.SetCenterPoint(focus);
    shade.SetCenterColor(C(light));
    gp::Color rim = C(dark);
    int count = 1;
    shade.SetSurroundColors(&rim, &count);
    gp::GraphicsPath discPath;
    discPath.AddEllipse(disc);
    gp::Region clip(&discPath);
    graphics.SetClip(&clip);
    graphics.FillEllipse(&shade, focus.X - radius, focus.Y - radius, radius * 2, radius * 2);
    graphics.ResetClip();
    gp::Pen edge(C(d::Darker(dark, d::DiscEdgeDarker)), 1);
    graphics.DrawEllipse(&edge, disc.X + 0.5f, disc.Y + 0.5f, disc.Width - 1, disc.Height - 1);
}

void DrawBackground(gp::Graphics& graphics, const gp::RectF& area, double scale) {
    const gp::REAL band = std::min(static_cast<gp::REAL>(d::BandHeight * scale), area.Height);
    FillVertical(graphics, gp::RectF(area.X, area.Y, area.Width, band), d::BandTop, d::BandBottom);
    FillVertical(graphics, gp::RectF(area.X, area.Y + band, area.Width, area.Height - band), d::BodyTop, d::BodyBottom);
    const auto line = static_cast<gp::REAL>(std::max(1.0, std::floor(scale)));
    // A light line under the band separates it from the body.
    gp::SolidBrush lineBrush(C(d::BandLine));
    graphics.FillRectangle(&lineBrush, area.X, area.Y + band, area.Width, line);
    gp::SolidBrush border(C(d::Border));
    graphics.FillRectangle(&border, area.X, area.Y, area.Width, line);
    graphics.FillRectangle(&border, area.X, area.Y + area.Height - line, area.Width, line);
    graphics.FillRectangle(&border, area.X, area.Y, line, area.Height);
    graphics.FillRectangle(&border, area.X + area.Width - line, area.Y, line, area.Height);
}

void DrawApplicationIcon(gp::Graphics& graphics, const gp::RectF& area) {
    const gp::GraphicsState saved = graphics.Save();
    graphics.TranslateTransform(area.X, area.Y);
    graphics.ScaleTransform(area.Width / static_cast<gp::REAL>(d::IconDesignSize),
                            area.Height / static_cast<gp::REAL>(d::IconDesignSize));
    // Antenna, then the radio's body with its display and keypad.
    gp::SolidBrush antenna(C(d::AntennaColour));
    FillRoundedRect(graphics, antenna, nullptr, d::Antenna, d::AntennaRadius);
    gp::LinearGradientBrush body(P(d::BodyGradientFrom), P(d::BodyGradientTo), C(d::BodyLight), C(d::BodyDark));
    body.SetWrapMode(gp::WrapModeTileFlipXY);
    gp::Pen bodyEdge(C(d::BodyEdge), static_cast<gp::REAL>(d::BodyEdgeWidth));
    FillRoundedRect(graphics, body, &bodyEdge, d::Body, d::BodyRadius);
    gp::SolidBrush display(C(d::DisplayColour));
    FillRoundedRect(graphics, display, nullptr, d::Display, d::DisplayRadius);
    gp::SolidBrush key(C(d::KeyColour));
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            graphics.FillRectangle(&key, static_cast<gp::REAL>(d::FirstKey.X + column * d::KeyPitch.X),
                                   static_cast<gp::REAL>(d::FirstKey.Y + row * d::KeyPitch.Y),
                                   static_cast<gp::REAL>(d::KeyWidth), static_cast<gp::REAL>(d::KeyHeight));
        }
    }
    // The green arrow: new firmware going in.
    gp::PointF arrow[d::Arrow.size()];
    for (std::size_t i = 0; i < d::Arrow.size(); ++i) arrow[i] = P(d::Arrow[i]);
    gp::SolidBrush arrowFill(C(d::ArrowFill));
    gp::Pen arrowEdge(C(d::ArrowEdge), static_cast<gp::REAL>(d::ArrowEdgeWidth));
    graphics.FillPolygon(&arrowFill, arrow, static_cast<INT>(d::Arrow.size()));
    graphics.DrawPolygon(&arrowEdge, arrow, static_cast<INT>(d::Arrow.size()));
    graphics.Restore(saved);
}

void DrawProgressBar(gp::Graphics& graphics, const gp::RectF& area) {
    if (area.Width <= 0 || area.Height <= 0) return;
    gp::LinearGradientBrush brush(gp::PointF(0, area.Y - 0.5f), gp::PointF(0, area.Y + area.Height + 0.5f),
                                  C(d::ProgressStops.front().Colour), C(d::ProgressStops.back().Colour));
    gp::Color colours[d::ProgressStops.size()];
    gp::REAL positions[d::ProgressStops.size()];
    for (std::size_t i = 0; i < d::ProgressStops.size(); ++i) {
        colours[i] = C(d::ProgressStops[i].Colour);
        positions[i] = static_cast<gp::REAL>(d::ProgressStops[i].At);
    }
    brush.SetInterpolationColors(colours, positions, static_cast<INT>(d::ProgressStops.size()));
    graphics.FillRectangle(&brush, area);
}

void DrawSuccessIcon(gp::Graphics& graphics, const gp::RectF& area) {
    DrawDisc(graphics, area, d::SuccessLight, d::SuccessDark);
    gp::PointF tick[d::Tick.size()];
    for (std::size_t i = 0; i < d::Tick.size(); ++i) {
        tick[i] = gp::PointF(area.X + area.Width * static_cast<gp::REAL>(d::Tick[i].X),
                             area.Y + area.Height * static_cast<gp::REAL>(d::Tick[i].Y));
    }
    gp::Pen pen(gp::Color(255, 255, 255, 255), area.Width * static_cast<gp::REAL>(d::MarkWidth));
    pen.SetStartCap(gp::LineCapRound);
    pen.SetEndCap(gp::LineCapRound);
    pen.SetLineJoin(gp::LineJoinRound);
    graphics.DrawLines(&pen, tick, static_cast<INT>(d::Tick.size()));
}

void DrawFailureIcon(gp::Graphics& graphics, const gp::RectF& area) {
    DrawDisc(graphics, area, d::FailureLight, d::FailureDark);
    DrawCross(graphics, gp::PointF(area.X + area.Width / 2, area.Y + area.Height / 2),
              area.Width * static_cast<gp::REAL>(d::FailureCrossHalf), area.Width * static_cast<gp::REAL>(d::MarkWidth));
}

gp::RectF F(const RECT& area) {
    return gp::RectF(static_cast<gp::REAL>(area.left), static_cast<gp::REAL>(area.top),
                     static_cast<gp::REAL>(area.right - area.left), static_cast<gp::REAL>(area.bottom - area.top));
}

void Draw(gp::Graphics& graphics, window::Picture picture, const gp::RectF& area, double scale) {
    switch (picture) {
    case window::Picture::Background: DrawBackground(graphics, area, scale); break;
    case window::Picture::ApplicationIcon: DrawApplicationIcon(graphics, area); break;
    case window::Picture::ProgressBar: DrawProgressBar(graphics, area); break;
    case window::Picture::SuccessIcon: DrawSuccessIcon(graphics, area); break;
    case window::Picture::FailureIcon: DrawFailureIcon(graphics, area); break;
    default: break;
    }
}

}  // namespace

GdiplusSession::GdiplusSession() {
    gp::GdiplusStartupInput input;
    gp::GdiplusStartup(&token_, &input, nullptr);
}

GdiplusSession::~GdiplusSession() { gp::GdiplusShutdown(token_); }

void DrawPicture(HDC dc, window::Picture picture, const RECT& area, double scale) {
    gp::Graphics graphics(dc);
    graphics.SetSmoothingMode(picture == window::Picture::Background || picture == window::Picture::ProgressBar
                                  ? gp::SmoothingModeNone
                                  : gp::SmoothingModeAntiAlias);
    graphics.SetPixelOffsetMode(gp::PixelOffsetModeHalf);
    Draw(graphics, picture, F(area), scale);
}

void DrawFace(HDC dc, window::Picture face, const RECT& button, int faceWidth, int faceHeight, FaceState state,
              double scale) {
    gp::Graphics graphics(dc);
    graphics.SetPixelOffsetMode(gp::PixelOffsetModeHalf);
    const gp::RectF clip = F(button);
    graphics.SetClip(clip);
    const gp::RectF area(clip.X + (clip.Width - static_cast<gp::REAL>(faceWidth)) / 2,
                         clip.Y + (clip.Height - static_cast<gp::REAL>(faceHeight)) / 2, static_cast<gp::REAL>(faceWidth),
                         static_cast<gp::REAL>(faceHeight));
    const gp::PointF centre(area.X + area.Width / 2, area.Y + area.Height / 2);
    const auto s = static_cast<gp::REAL>(scale);
    if (face == window::Picture::CloseFace) {
        // At rest the button is flat: the band shows through.
        if (state != FaceState::Normal) {
            gp::SolidBrush ground(C(state == FaceState::Pressed ? d::ClosePressed : d::CloseHover));
            graphics.FillRectangle(&ground, area);
        }
        graphics.SetSmoothingMode(gp::SmoothingModeAntiAlias);
        DrawCross(graphics, centre, static_cast<gp::REAL>(d::CloseCrossHalf) * s, static_cast<gp::REAL>(d::CloseCrossWidth) * s);
    } else {
        if (state != FaceState::Normal) {
            gp::SolidBrush ground(C(state == FaceState::Pressed ? d::MinimisePressed : d::MinimiseHover));
            graphics.FillRectangle(&ground, area);
        }
        gp::SolidBrush white(gp::Color(255, 255, 255, 255));
        graphics.FillRectangle(&white, centre.X + static_cast<gp::REAL>(d::MinimiseBar.Left) * s,
                               centre.Y + static_cast<gp::REAL>(d::MinimiseBar.Top) * s,
                               static_cast<gp::REAL>(d::MinimiseBar.Width) * s, static_cast<gp::REAL>(d::MinimiseBar.Height) * s);
    }
}

HICON MakeApplicationIcon(int size) {
    gp::Bitmap bitmap(size, size, PixelFormat32bppARGB);
    {
        gp::Graphics graphics(&bitmap);
        graphics.Clear(gp::Color(0, 0, 0, 0));
        graphics.SetSmoothingMode(gp::SmoothingModeAntiAlias);
        DrawApplicationIcon(graphics, gp::RectF(0, 0, static_cast<gp::REAL>(size), static_cast<gp::REAL>(size)));
    }
    HICON icon = nullptr;
    bitmap.GetHICON(&icon);
    return icon;
}

}  // namespace quenfall::ui
