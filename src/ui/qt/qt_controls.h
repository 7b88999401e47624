#pragma once
// The window's kinds of control, on top of Qt's: a picture box that draws its picture into
// its own rectangle, a flat picture button, and a label that sizes itself to its text and
// shows a carriage return as a line break. Positions and sizes are layout pixels at 96 dpi;
// Qt scales them with the screen.
#include <QAbstractButton>
#include <QLabel>
#include <QWidget>
#include <functional>

#include "ui/qt/qt_pictures.h"

namespace quenfall::ui {

using PicturePainter = std::function<void(QPainter&, const QRectF&)>;
using FacePainter = std::function<void(QPainter&, const QRectF&, FaceState)>;

class PictureBox : public QWidget {
    Q_OBJECT
public:
    // Stretched pictures fill the box; unstretched ones are drawn at pictureSize from the
    // box's top left.
    PictureBox(QWidget* parent, PicturePainter picture, QSize pictureSize = {}, bool stretch = true);

signals:
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    PicturePainter picture_;
    QSize pictureSize_;
    bool stretch_;
};

// A button with no edge and no focus; its face picture changes under the pointer and while
// held down. The face is centred on the button and clipped to it.
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    PictureButton(QWidget* parent, FacePainter face, QSize faceSize);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    FacePainter face_;
    QSize faceSize_;
};

// Left-aligned, no wrapping, transparent; keeps the text it was given (carriage returns
// included) and resizes itself to the text it shows.
class LayoutLabel : public QLabel {
    Q_OBJECT
public:
    explicit LayoutLabel(QWidget* parent);
    void SetText(const QString& text);
    // The text as set, before carriage returns were turned into line breaks.
    const QString& Text() const { return text_; }

private:
    QString text_;
};

// A font of the layout: the first face of families that is installed (the later ones stand
// in for faces this system lacks), at a character height in pixels.
QFont LayoutFont(const QStringList& families, int pixelHeight, bool bold = false,
                 bool underline = false);

}  // namespace quenfall::ui
