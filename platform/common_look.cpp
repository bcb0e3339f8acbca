#include "platform/common_look.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QWidget>

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
