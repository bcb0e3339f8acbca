#pragma once

#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTableWidgetItem>

namespace trelvant {

// The height of the grid's rows and of its header row.
inline constexpr int kFrameRowHeight = 21;

// The image builder sets a frame's delete flag for "Y" and "y": the cell shows both ticked.
bool Ticked(const QString& text);

// The Delete cell's item. Its text is what the document holds ("Y", "N", ...); its check state,
// through which assistive technology reads and toggles the cell as a check box, follows the text,
// and a toggle writes "Y" or "N".
class DeleteCellItem final : public QTableWidgetItem {
public:
    explicit DeleteCellItem(const QString& text = QString());

    QTableWidgetItem* clone() const override { return new DeleteCellItem(text()); }
    QVariant data(int role) const override;
    void setData(int role, const QVariant& value) override;
};

// The Delete cell: a centred check box showing "Y" and "y" ticked and anything else clear; a click or
// the space bar switches the cell's text between "Y" and "N".
class CheckBoxCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override { return nullptr; }
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
};

// The frame grid as the keyboard works it: the cursor never stops on the row numbers of column 0,
// typing edits the current cell (there is no type-ahead search), keyboard work starts at row 1's
// first data column, and Ctrl+Tab leaves the grid. The row numbers stay at the left edge while
// the other columns scroll sideways.
class FrameGrid final : public QTableWidget {
public:
    FrameGrid(int rows, QWidget* parent);

    void leave(bool forward) { QWidget::focusNextPrevChild(forward); }
    // Row 1's first data cell made current, as the keyboard finds the grid before it goes in.
    void startAtFirstCell();
    // Whether the keyboard has been in the grid since startAtFirstCell: until then the current
    // cell is not one that the user chose.
    bool entered() const { return entered_; }
    // The text being typed into the current cell, if any, stored in the cell and the editing ended.
    void finishEditing();
    // Also brings the cell out from under the row numbers that lie over the grid's left edge.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    void keyboardSearch(const QString&) override {}
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool entered_ = false;
};

}  // namespace trelvant
