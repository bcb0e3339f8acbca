#pragma once

#include <QStyle>

class QPushButton;
class QString;
class QWidget;

namespace trelvant {

// The look every window of the system shares: a warm light background, Verdana 8 point (or the
// system's sans-serif font) in dark gray, flat buttons that light up under the mouse.
void ApplyCommonLook(QWidget* window);

// Gray for secondary text (step numbers, the web address, a disabled button's caption): lighter
// than the dark text, yet 4.7:1 against the background, above the 4.5:1 that small text needs.
inline constexpr int kSecondaryGray = 110;

// A fixed-size window of the given client size, without buttons in its title bar.
void MakeFixedToolWindow(QWidget* window, int width, int height);

// Centres a top-level window on the screen it is on.
void CentreOnScreen(QWidget* window);

// A flat push button with a small picture, named as the documentation names it.
QPushButton* MakeFlatButton(QWidget* parent, const char* name, const QString& caption, QStyle::StandardPixmap picture);

}  // namespace trelvant
