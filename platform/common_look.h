#pragma once

#include <QStyle>

class QMargins;
class QPushButton;
class QRect;
class QSize;
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

// The client size a window of the wanted client size takes on a screen whose available area is
// given, with the window's frame around it: the wanted size, narrowed and shortened to what the
// area holds (at large scales a tall dialog would otherwise put its buttons off the screen).
QSize FittedClientSize(QSize wanted, const QRect& available, const QMargins& frame);

// For a window laid out at a fixed client size: its controls go on the returned body, of that
// size, inside a frameless scroll area that fills the window; FitOnScreen then shrinks the
// window, and the body scrolls, when the screen cannot hold it whole.
QWidget* MakeScrollingBody(QWidget* window, QSize clientSize);

// Gives the window its client size, or the fitted size when the screen's available area cannot
// hold it, fixed so that the border does not resize it; then centres it.
void FitOnScreen(QWidget* window, QSize clientSize);

// A flat push button with a small picture, named as the documentation names it.
QPushButton* MakeFlatButton(QWidget* parent, const char* name, const QString& caption, QStyle::StandardPixmap picture);

}  // namespace trelvant
