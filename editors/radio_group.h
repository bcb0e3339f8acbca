#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QAbstractButton;
class QButtonGroup;

namespace trelvant {

// A group of radio buttons of which exactly one is chosen; the chosen item's position is the
// group's value. A value past the last item chooses the last item. The items run down the
// columns. By keyboard the group is one stop: Tab lands on the chosen item, Up and Down choose
// the previous and next item, Left and Right the item beside it in the next column (the last
// item when that column is shorter); at the first and last item and column the choice stays.
class RadioGroup final : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(QWidget* parent, const char* name, const QString& title, const QStringList& items, int columns);

    int itemIndex() const;
    void setItemIndex(int index);
    // The items' buttons in item order, for the dialog's keyboard order.
    QList<QAbstractButton*> items() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Only the chosen item is a Tab stop.
    void markTabStop();
    // The focus, when in the group, goes with the choice.
    void followChoice();
    int itemBeside(int key) const;

    QButtonGroup* buttons_;
    int rows_;
    int columns_;
};

}  // namespace trelvant
