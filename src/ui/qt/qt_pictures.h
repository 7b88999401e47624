#pragma once
// The window's pictures (window/picture_design.h), drawn with QPainter at paint time into whatever rectangle the
// control has, so they stay sharp at any device pixel ratio (96 dpi, 200 %, ...). Each
// function draws one picture and leaves the painter as it found it.
#include <QIcon>
#include <QRectF>

#include "window/picture_design.h"

class QPainter;

namespace quenfall::ui {

// The flat buttons' three looks: at rest, under the pointer, held down.
enum class FaceState { Normal, Hover, Pressed };

// Blue band across the top, pale blue body, thin darker border; no text.
void PaintBackground(QPainter& painter, const QRectF& area);
// The title icon and the application icon: a handheld radio with a download arrow.
void PaintApplicationIcon(QPainter& painter, const QRectF& area);
// A plain green bar with a little depth, stretched to the area.
void PaintProgressBar(QPainter& painter, const QRectF& area);
// White cross: on the band at rest, on red under the pointer, on dark red held down.
void PaintCloseFace(QPainter& painter, const QRectF& area, FaceState state);
// White bar on shades of blue.
void PaintMinimiseFace(QPainter& painter, const QRectF& area, FaceState state);
// Green disc with a white tick; red disc with a white cross.
void PaintSuccessIcon(QPainter& painter, const QRectF& area);
void PaintFailureIcon(QPainter& painter, const QRectF& area);

// The application icon rendered at the usual icon sizes.
QIcon ApplicationIcon();

// The height of the background's blue band, in layout pixels.
inline constexpr int BandHeight = window::design::BandHeight;

}  // namespace quenfall::ui
