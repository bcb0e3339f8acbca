#pragma once

#include <QLabel>
#include <QListWidget>
#include <QStyledItemDelegate>

class QFocusEvent;
class QMouseEvent;
class QPaintEvent;

namespace trelvant {

// A dialog unit across is a quarter of the font's average character width.
qreal DialogUnits(const QFont& font, int units);

// A list box whose chosen() tells that the user picked an item: a click (on the item already
// selected too), a drag over the items or a move of the selection by keyboard. Selections the
// program makes through select() stay silent. Only the left mouse button picks: the other
// buttons leave the selection alone, so that it always matches the fields shown.
class SelectionList final : public QListWidget {
    Q_OBJECT
public:
    explicit SelectionList(QWidget* parent);

    // The selected position, -1 when nothing is selected.
    int selectedRow() const;
    void select(int row);
    // Removes the item; afterwards nothing is selected.
    void remove(int row);

signals:
    void chosen();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool silent_ = false;
};

// Draws an item's text with tab stops at equal distances, so that the fields of a frame line
// stand in columns under the list's heading.
class TabStopDelegate final : public QStyledItemDelegate {
public:
    // Between an item's edge and its text.
    static constexpr int kTextMargin = 3;

    TabStopDelegate(QObject* parent, int tabStopUnits) : QStyledItemDelegate(parent), units_(tabStopUnits) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int units_;
};

// The frame list's heading. Its words stand over the list's columns: the first where the list's
// lines begin (inside the list's frame, after the items' text margin), each next one at the next
// tab stop, as TabStopDelegate draws the fields. The label's text stays as written, for the
// accessibility tools.
class ColumnHeading final : public QLabel {
public:
    ColumnHeading(const QString& text, QWidget* parent, const QListWidget* list, int tabStopUnits)
        : QLabel(text, parent), list_(list), units_(tabStopUnits)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QListWidget* list_;
    int units_;
};

}  // namespace trelvant
