#include "ui/qt/qt_controls.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/qt/qt_texts.h"

namespace quenfall::ui {

PictureBox::PictureBox(QWidget* parent, PicturePainter picture, QSize pictureSize, bool stretch)
    : QWidget(parent), picture_(std::move(picture)), pictureSize_(pictureSize), stretch_(stretch) {
    setFocusPolicy(Qt::NoFocus);
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF area = stretch_ ? QRectF(rect()) : QRectF(QPointF(0, 0), QSizeF(pictureSize_));
    picture_(painter, area);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->button(), event->modifiers(), event->position().toPoint());
    event->accept();
}

PictureButton::PictureButton(QWidget* parent, FacePainter face, QSize faceSize)
    : QAbstractButton(parent), face_(std::move(face)), faceSize_(faceSize) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover, true);
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setClipRect(rect());
    FaceState state = FaceState::Normal;
    if (isDown()) {
        state = FaceState::Pressed;
    } else if (underMouse()) {
        state = FaceState::Hover;
    }
    const QPointF topLeft((width() - faceSize_.width()) / 2.0, (height() - faceSize_.height()) / 2.0);
    face_(painter, QRectF(topLeft, QSizeF(faceSize_)), state);
}

void PictureButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    update();
}

void PictureButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    update();
}

LayoutLabel::LayoutLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
}

void LayoutLabel::SetText(const QString& text) {
    text_ = text;
    setText(LabelDisplayText(text));
    adjustSize();
}

QFont LayoutFont(const QStringList& families, int pixelHeight, bool bold, bool underline) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace quenfall::ui
