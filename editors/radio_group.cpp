#include "editors/radio_group.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QRadioButton>

#include <algorithm>

namespace trelvant {

RadioGroup::RadioGroup(QWidget* parent, const char* name, const QString& title, const QStringList& items, int columns)
    : QGroupBox(title, parent),
      buttons_(new QButtonGroup(this)),
      rows_((static_cast<int>(items.size()) + columns - 1) / columns),
      columns_(columns)
{
    setObjectName(QString::fromLatin1(name));
    const int columnWidth = 52;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setGeometry(8 + (i / rows_) * columnWidth, 20 + (i % rows_) * 18, columnWidth - 4, 18);
        button->installEventFilter(this);
        buttons_->addButton(button, i);
    }
    connect(buttons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) followChoice();
    });
    setItemIndex(0);
}

int RadioGroup::itemIndex() const
{
    return buttons_->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    const int last = static_cast<int>(buttons_->buttons().size()) - 1;
    buttons_->button(std::clamp(index, 0, last))->setChecked(true);
}

QList<QAbstractButton*> RadioGroup::items() const
{
    return buttons_->buttons();
}

void RadioGroup::markTabStop()
{
    const QAbstractButton* chosen = buttons_->checkedButton();
    for (QAbstractButton* button : buttons_->buttons())
        button->setFocusPolicy(button == chosen ? Qt::StrongFocus : Qt::ClickFocus);
}

void RadioGroup::followChoice()
{
    markTabStop();
    QAbstractButton* chosen = buttons_->checkedButton();
    const QList<QAbstractButton*> all = buttons_->buttons();
    const QWidget* focus = window()->focusWidget();
    if (chosen && focus != chosen && std::find(all.begin(), all.end(), focus) != all.end())
        chosen->setFocus(Qt::OtherFocusReason);
}

int RadioGroup::itemBeside(int key) const
{
    const int index = itemIndex();
    const int last = static_cast<int>(buttons_->buttons().size()) - 1;
    const int column = index / rows_;
    switch (key) {
    case Qt::Key_Up:
        return std::max(index - 1, 0);
    case Qt::Key_Down:
        return std::min(index + 1, last);
    case Qt::Key_Left:
        return column > 0 ? index - rows_ : index;
    case Qt::Key_Right:
        return column < columns_ - 1 ? std::min(index + rows_, last) : index;
    default:
        return index;
    }
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool arrow = key->key() == Qt::Key_Up || key->key() == Qt::Key_Down || key->key() == Qt::Key_Left ||
                           key->key() == Qt::Key_Right;
        if (arrow && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            setItemIndex(itemBeside(key->key()));
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // A button that took the focus by a press without a click made itself the Tab stop.
        markTabStop();
    }
    return QGroupBox::eventFilter(watched, event);
}

}  // namespace trelvant
