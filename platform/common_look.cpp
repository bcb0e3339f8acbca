#include "platform/common_look.h"

#include <QGuiApplication>
#include <QMargins>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QString>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace trelvant {

void ApplyCommonLook(QWidget* window)
{
    const QColor background(248, 247, 237);
    const QColor text(51, 51, 51);

    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Button, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Text, text);
    window->setPalette(palette);
    window->setAutoFillBackground(true);

    QFont font = window->font();
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);  // 8 point at 96 dots per inch
    window->setFont(font);

    // The font goes into the style sheet too: a style sheet otherwise gives its widgets the
    // application's font instead of the window's.
    window->setStyleSheet(QStringLiteral(
        "QWidget { font-family: Verdana, \"DejaVu Sans\", sans-serif; font-size: 11px; }"
        "QPushButton[flat=\"true\"] { border: 1px solid transparent; border-radius: 3px; padding: 1px 4px;"
        " background: transparent; color: rgb(51, 51, 51); text-align: left; }"
        "QPushButton[flat=\"true\"]:hover { background: rgb(253, 234, 170); border-color: rgb(214, 186, 98); }"
        "QPushButton[flat=\"true\"]:pressed { background: rgb(244, 214, 120); }"
        "QPushButton[flat=\"true\"]:focus { border-color: rgb(170, 166, 150); }"
        "QPushButton[flat=\"true\"]:focus:hover { border-color: rgb(214, 186, 98); }"
        // A disabled button must look disabled: its caption greys with its picture.
        "QPushButton[flat=\"true\"]:disabled { color: rgb(%1, %1, %1); }"
        "QLineEdit { border: 1px solid rgb(170, 166, 150); background: white; padding: 1px 2px; }")
                            .arg(kSecondaryGray));
}

void MakeFixedToolWindow(QWidget* window, int width, int height)
{
    const Qt::WindowType type = window->windowType() == Qt::Dialog ? Qt::Dialog : Qt::Window;
    window->setWindowFlags(type | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window->setFixedSize(width, height);
}

void CentreOnScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

QSize FittedClientSize(QSize wanted, const QRect& available, const QMargins& frame)
{
    const int width = available.width() - frame.left() - frame.right();
    const int height = available.height() - frame.top() - frame.bottom();
    // A screen too small for even a sliver of the window leaves it at its size: nothing fits.
    if (width < 100 || height < 100) return wanted;
    return wanted.boundedTo(QSize(width, height));
}

QWidget* MakeScrollingBody(QWidget* window, QSize clientSize)
{
    auto* scroll = new QScrollArea(window);
    scroll->setObjectName(QStringLiteral("ScrollingBody"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(false);
    auto* body = new QWidget;
    body->setObjectName(QStringLiteral("Body"));
    body->setFixedSize(clientSize);
    scroll->setWidget(body);
    // Under the window's style sheet the children do not take the window's palette: filled, the
    // viewport and the body would paint the toolkit's gray. Unfilled, they show the window's own
    // background.
    scroll->viewport()->setAutoFillBackground(false);
    body->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    return body;
}

void FitOnScreen(QWidget* window, QSize clientSize)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        // The frame as the window system drew it, once it has; until then a usual title bar and
        // border.
        const QRect outer = window->frameGeometry();
        const QRect inner = window->geometry();
        QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                       outer.bottom() - inner.bottom());
        if (frame.isNull()) frame = QMargins(8, 32, 8, 8);
        const QSize fitted = FittedClientSize(clientSize, screen->availableGeometry(), frame);
        // A body that scrolls one way takes its scroll bar's room the other way, where there is room.
        if (window->findChild<QScrollArea*>(QStringLiteral("ScrollingBody"), Qt::FindDirectChildrenOnly)) {
            const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
            const QSize room = FittedClientSize(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX), screen->availableGeometry(), frame);
            QSize widened = fitted;
            if (fitted.height() < clientSize.height()) widened.rwidth() = std::min(fitted.width() + bar, room.width());
            if (fitted.width() < clientSize.width()) widened.rheight() = std::min(fitted.height() + bar, room.height());
            clientSize = widened.boundedTo(clientSize + QSize(bar, bar));
        } else {
            clientSize = fitted;
        }
    }
    window->setFixedSize(clientSize);
    CentreOnScreen(window);
}

QPushButton* MakeFlatButton(QWidget* parent, const char* name, const QString& caption, QStyle::StandardPixmap picture)
{
    auto* button = new QPushButton(parent->style()->standardIcon(picture), caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFlat(true);
    button->setIconSize(QSize(16, 16));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

}  // namespace trelvant
