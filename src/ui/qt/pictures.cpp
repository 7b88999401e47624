#include "ui/qt/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

namespace quenfall::ui {
namespace {

const QColor BandTop(0x1f, 0x5f, 0xb8);
const QColor BandBottom(0x2f, 0x7c, 0xd6);
const QColor BodyTop(0xea, 0xf3, 0xfc);
const QColor BodyBottom(0xd6, 0xe7, 0xf8);
const QColor Border(0x1a, 0x4f, 0x99);

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
    QRadialGradient fill(disc.center() - QPointF(disc.width() / 5, disc.height() / 5),
                         disc.width() * 0.75);
    fill.setColorAt(0, light);
    fill.setColorAt(1, dark);
    painter.setPen(QPen(dark.darker(130), 1));
    painter.setBrush(fill);
    painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
}

}  // namespace

void PaintBackground(QPainter& painter, const QRectF& area) {
    SavedPainter saved(painter);
    const qreal band = qMin<qreal>(BandHeight, area.height());
    QLinearGradient bandFill(area.topLeft(), QPointF(area.left(), area.top() + band));
    bandFill.setColorAt(0, BandTop);
    bandFill.setColorAt(1, BandBottom);
    painter.fillRect(QRectF(area.left(), area.top(), area.width(), band), bandFill);

    QLinearGradient bodyFill(QPointF(area.left(), area.top() + band), area.bottomLeft());
    bodyFill.setColorAt(0, BodyTop);
    bodyFill.setColorAt(1, BodyBottom);
    painter.fillRect(QRectF(area.left(), area.top() + band, area.width(), area.height() - band),
                     bodyFill);

    // A light line under the band separates it from the body.
    painter.fillRect(QRectF(area.left(), area.top() + band, area.width(), 1), QColor(0x9c, 0xc4, 0xee));

    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Border, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
}

void PaintApplicationIcon(QPainter& painter, const QRectF& area) {
    SavedPainter saved(painter);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(area.topLeft());
    painter.scale(area.width() / 32.0, area.height() / 32.0);

    // Antenna, then the radio's body with its display and keypad.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x30, 0x30, 0x38));
    painter.drawRoundedRect(QRectF(8.5, 1.5, 3, 10), 1.2, 1.2);
    QLinearGradient body(QPointF(6, 8), QPointF(22, 30));
    body.setColorAt(0, QColor(0x4a, 0x4f, 0x5c));
    body.setColorAt(1, QColor(0x22, 0x25, 0x2d));
    painter.setBrush(body);
    painter.setPen(QPen(QColor(0x12, 0x14, 0x18), 0.8));
    painter.drawRoundedRect(QRectF(6.5, 8.5, 15, 22), 2.5, 2.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x8f, 0xd8, 0xff));
    painter.drawRoundedRect(QRectF(8.5, 11, 11, 6), 1, 1);
    painter.setBrush(QColor(0xb8, 0xbe, 0xc8));
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            painter.drawRect(QRectF(9 + column * 3.6, 19.5 + row * 3.2, 2.4, 2));
        }
    }

    // The green arrow: new firmware going in.
    QPainterPath arrow;
    arrow.moveTo(24.5, 9);
    arrow.lineTo(29, 9);
    arrow.lineTo(29, 17);
    arrow.lineTo(31.5, 17);
    arrow.lineTo(26.75, 23.5);
    arrow.lineTo(22, 17);
    arrow.lineTo(24.5, 17);
    arrow.closeSubpath();
    painter.setPen(QPen(QColor(0x0c, 0x5c, 0x1c), 0.8));
    painter.setBrush(QColor(0x2e, 0xc2, 0x4a));
    painter.drawPath(arrow);
}

void PaintProgressBar(QPainter& painter, const QRectF& area) {
    if (area.width() <= 0 || area.height() <= 0) return;
    SavedPainter saved(painter);
    QLinearGradient fill(area.topLeft(), area.bottomLeft());
    fill.setColorAt(0, QColor(0x8a, 0xe8, 0x7a));
    fill.setColorAt(0.45, QColor(0x3c, 0xc0, 0x3a));
    fill.setColorAt(1, QColor(0x1e, 0x8e, 0x22));
    painter.fillRect(area, fill);
}

void PaintCloseFace(QPainter& painter, const QRectF& area, FaceState state) {
    SavedPainter saved(painter);
    QColor ground(0xe0, 0x2e, 0x2e);
    if (state == FaceState::Pressed) ground = QColor(0x9c, 0x14, 0x14);
    // At rest the button is flat: the band shows through.
    if (state != FaceState::Normal) painter.fillRect(area, ground);
    painter.setRenderHint(QPainter::Antialiasing, true);
    PaintCross(painter, area.center(), 4.0, 1.6);
}

void PaintMinimiseFace(QPainter& painter, const QRectF& area, FaceState state) {
    SavedPainter saved(painter);
    QColor ground(0x3f, 0x8c, 0xe6);
    if (state == FaceState::Pressed) ground = QColor(0x17, 0x48, 0x8c);
    // At rest the button is flat: the band shows through.
    if (state != FaceState::Normal) painter.fillRect(area, ground);
    const QPointF centre = area.center();
    painter.fillRect(QRectF(centre.x() - 5, centre.y() + 2, 10, 2), Qt::white);
}

void PaintSuccessIcon(QPainter& painter, const QRectF& area) {
    SavedPainter saved(painter);
    painter.setRenderHint(QPainter::Antialiasing, true);
    PaintDisc(painter, area, QColor(0x6c, 0xe0, 0x6c), QColor(0x1c, 0x94, 0x2a));
    const qreal w = area.width();
    const qreal h = area.height();
    QPainterPath tick;
    tick.moveTo(area.left() + w * 0.27, area.top() + h * 0.52);
    tick.lineTo(area.left() + w * 0.44, area.top() + h * 0.69);
    tick.lineTo(area.left() + w * 0.74, area.top() + h * 0.33);
    painter.setPen(QPen(Qt::white, w * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

void PaintFailureIcon(QPainter& painter, const QRectF& area) {
    SavedPainter saved(painter);
    painter.setRenderHint(QPainter::Antialiasing, true);
    PaintDisc(painter, area, QColor(0xff, 0x7a, 0x6e), QColor(0xc0, 0x1c, 0x1c));
    PaintCross(painter, area.center(), area.width() * 0.2, area.width() * 0.11);
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
