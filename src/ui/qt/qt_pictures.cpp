#include "ui/qt/qt_pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include "window/picture_design.h"

namespace quenfall::ui {
namespace {

namespace d = window::design;

QColor Q(window::Rgb colour) { return QColor(colour.Red, colour.Green, colour.Blue); }
QRectF Q(d::Box box) { return QRectF(box.Left, box.Top, box.Width, box.Height); }
QPointF Q(d::Point point) { return QPointF(point.X, point.Y); }

// Restores the painter's state however the drawing returns.
class SavedPainter {
public:
    explicit SavedPainter(QPainter& painter) : painter_(painter) { painter_.save(); }
    ~SavedPainter() { painter_.restore(); }
    SavedPainter(const SavedPainter&) = delete;
    SavedPainter& operator=(const SavedPainter&) = delete;

private:
    QPainter& painter_;
};

void PaintCross(QPainter& painter, const QPointF& centre, qreal half, qreal width) {
    QPen pen(Qt::white, width, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.drawLine(centre + QPointF(-half, -half), centre + QPointF(half, half));
    painter.drawLine(centre + QPointF(-half, half), centre + QPointF(half, -half));
}

void PaintDisc(QPainter& painter, const QRectF& area, const QColor& light, const QColor& dark) {
    const QRectF disc = area.adjusted(1, 1, -1, -1);
    QRadialGradient fill(disc.center() - QPointF(disc.width() * d::DiscLightOffset, disc.height() * d::DiscLightOffset),
                         disc.width() * d::DiscGradientRadius);
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    painter.setPen(QPen(dark.darker(d::DiscEdgeDarker), 1));
    painter.setBrush(fill);
    painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
}

}  // namespace

void PaintBackground(QPainter& painter, const QRectF& area) {
    SavedPainter saved(painter);
    const qreal band = qMin<qreal>(BandHeight, area.height());
    QLinearGradient bandFill(area.topLeft(), QPointF(area.left(), area.top() + band));
    bandFill.setColorAt(0, Q(d::BandTop));
    bandFill.setColorAt(1, Q(d::BandBottom));
    painter.fillRect(QRectF(area.left(), area.top(), area.width(), band), bandFill);

    QLinearGradient bodyFill(QPointF(area.left(), area.top() + band), area.bottomLeft());
    bodyFill.setColorAt(0, Q(d::BodyTop));
    bodyFill.setColorAt(1, Q(d::BodyBottom));
    painter.fillRect(QRectF(area.left(), area.top() + band, area.width(), area.height() - band),
                     bodyFill);

    // A light line under the band separates it from the body.
    painter.fillRect(QRectF(area.left(), area.top() + band, area.width(), 1), Q(d::BandLine));

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Q(d::Border), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
}

void PaintApplicationIcon(QPainter& painter, const QRectF& area) {
    SavedPainter saved(painter);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(area.topLeft());
    painter.scale(area.width() / d::IconDesignSize, area.height() / d::IconDesignSize);

    // Antenna, then the radio's body with its display and keypad.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Q(d::AntennaColour));
    painter.drawRoundedRect(Q(d::Antenna), d::AntennaRadius, d::AntennaRadius);
    QLinearGradient body(Q(d::BodyGradientFrom), Q(d::BodyGradientTo));
    body.setColorAt(0, Q(d::BodyLight));
    body.setColorAt(1, Q(d::BodyDark));
    painter.setBrush(body);
    painter.setPen(QPen(Q(d::BodyEdge), d::BodyEdgeWidth));
    painter.drawRoundedRect(Q(d::Body), d::BodyRadius, d::BodyRadius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Q(d::DisplayColour));
    painter.drawRoundedRect(Q(d::Display), d::DisplayRadius, d::DisplayRadius);
    painter.setBrush(Q(d::KeyColour));
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            painter.drawRect(QRectF(d::FirstKey.X + column * d::KeyPitch.X, d::FirstKey.Y + row * d::KeyPitch.Y,
                                    d::KeyWidth, d::KeyHeight));
        }
    }

    // The green arrow: new firmware going in.
    QPainterPath arrow;
    arrow.moveTo(Q(d::Arrow[0]));
    for (std::size_t i = 1; i < d::Arrow.size(); ++i) arrow.lineTo(Q(d::Arrow[i]));
    arrow.closeSubpath();
    painter.setPen(QPen(Q(d::ArrowEdge), d::ArrowEdgeWidth));
    painter.setBrush(Q(d::ArrowFill));
    painter.drawPath(arrow);
}

void PaintProgressBar(QPainter& painter, const QRectF& area) {
    if (area.width() <= 0 || area.height() <= 0) return;
    SavedPainter saved(painter);
    QLinearGradient fill(area.topLeft(), area.bottomLeft());
    for (const d::Stop& stop : d::ProgressStops) fill.setColorAt(stop.At, Q(stop.Colour));
    painter.fillRect(area, fill);
}

void PaintCloseFace(QPainter& painter, const QRectF& area, FaceState state) {
    SavedPainter saved(painter);
    const QColor ground = Q(state == FaceState::Pressed ? d::ClosePressed : d::CloseHover);
    // At rest the button is flat: the band shows through.
    if (state != FaceState::Normal) painter.fillRect(area, ground);
    painter.setRenderHint(QPainter::Antialiasing, true);
    PaintCross(painter, area.center(), d::CloseCrossHalf, d::CloseCrossWidth);
}

void PaintMinimiseFace(QPainter& painter, const QRectF& area, FaceState state) {
    SavedPainter saved(painter);
    const QColor ground = Q(state == FaceState::Pressed ? d::MinimisePressed : d::MinimiseHover);
    // At rest the button is flat: the band shows through.
    if (state != FaceState::Normal) painter.fillRect(area, ground);
    const QPointF centre = area.center();
    painter.fillRect(QRectF(centre.x() + d::MinimiseBar.Left, centre.y() + d::MinimiseBar.Top, d::MinimiseBar.Width,
                            d::MinimiseBar.Height),
                     Qt::white);
}

void PaintSuccessIcon(QPainter& painter, const QRectF& area) {
    SavedPainter saved(painter);
    painter.setRenderHint(QPainter::Antialiasing, true);
    PaintDisc(painter, area, Q(d::SuccessLight), Q(d::SuccessDark));
    const qreal w = area.width();
    const qreal h = area.height();
    QPainterPath tick;
    tick.moveTo(area.left() + w * d::Tick[0].X, area.top() + h * d::Tick[0].Y);
    for (std::size_t i = 1; i < d::Tick.size(); ++i) tick.lineTo(area.left() + w * d::Tick[i].X, area.top() + h * d::Tick[i].Y);
    painter.setPen(QPen(Qt::white, w * d::MarkWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

void PaintFailureIcon(QPainter& painter, const QRectF& area) {
    SavedPainter saved(painter);
    painter.setRenderHint(QPainter::Antialiasing, true);
    PaintDisc(painter, area, Q(d::FailureLight), Q(d::FailureDark));
    PaintCross(painter, area.center(), area.width() * d::FailureCrossHalf, area.width() * d::MarkWidth);
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        PaintApplicationIcon(painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace quenfall::ui
