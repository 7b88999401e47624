#pragma once
// The window's controls as assistive technology (AT-SPI on Linux, UI Automation on Windows)
// sees them, after window_accessibility.h: the picture buttons named, Edit1 labelled by
// "Firmware", Image3 a progress bar with a value, the two icons images with a description,
// the status line a status bar that announces each new text. Nothing here changes what the
// window looks like.
#include <QWidget>
#include <span>

#include "window/window_layout.h"

namespace quenfall::ui {

// Installs, once, the accessible interfaces of the window (a frame named by its caption,
// object name "FlashForm") and of its own kinds of control (known by their layout names).
// Before the first control is made: a control's interface is made when it first shows text.
void InstallAccessibleInterfaces();

// Names and describes every control (indexed by ControlId), and gives Edit1 its label.
void DescribeForAccessibility(std::span<QWidget* const, window::ControlCount> controls);

// The control's width has just changed: the progress bar tells assistive technology its new
// value. (The status line's labels report each new text themselves, as a name change.)
void NotifyAccessibility(QWidget* control, window::ControlId id);
// The control's tooltip has just changed: the progress bar tells assistive technology its new
// description (the run's percent and time left).
void NotifyDescription(QWidget* control, window::ControlId id);

}  // namespace quenfall::ui
