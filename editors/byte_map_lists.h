#pragma once

#include "documents/byte_map.h"
#include "documents/reading_report.h"

#include <QLabel>
#include <QListWidget>
#include <QStyledItemDelegate>

class QDialog;
class QFocusEvent;
class QMouseEvent;
class QPaintEvent;
class QPushButton;

namespace trelvant {

class MessageBoxes;

// A dialog unit across is a quarter of the font's average character width.
qreal DialogUnits(const QFont& font, int units);

// A byte choice as the register list names it: "-" for none, "B1" to "B8"; a choice above 8 is
// B8, as the radio groups show it.
QString ByteChoiceName(int choice);
// The items of a byte choice group: "none", "B1" to "B8".
QStringList ByteChoiceItems();

// A register list item: the index as typed, two blanks, the high and the low byte, "100  B5 B4".
// An empty index reads "(empty)", a PosComp that is not an integer "? ?".
QString RegisterLabel(const TClIndMB& entry);

// Two index texts name the same register when both are integers of equal value.
bool SameIndex(const std::string& a, const std::string& b);

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
// stand in columns under the list's heading. An item's icon (the mark of its findings) stands at
// the line's end, where it moves no column; lines with and without one are of one height.
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

// A register list or the frame list with its caption label, through which the user and
// accessibility tools find it.
SelectionList* MakeSelectionList(QWidget* parent, const char* name, QLabel* caption, const QRect& place);

// The dialog's buttons below its body: OK and Cancel at the left, Export and Import at the right.
struct ByteMapButtonBar {
    QPushButton* ok;
    QPushButton* cancel;
    QPushButton* exportButton;
    QPushButton* importButton;
};
ByteMapButtonBar MakeByteMapButtonBar(QDialog* dialog, int height);

// The keyboard order of the widgets, in the sequence given; a radio group takes its place
// through its items, of which only the chosen one is a Tab stop. Null widgets are left out.
void ChainTabOrder(std::initializer_list<QWidget*> widgets);

// Hands the frame lines of the byte map reading pass to the frame list, the fields of a frame
// joined by tabs, and shows the pass's messages in plain message boxes.
class FrameListReport final : public ReadingReport {
public:
    FrameListReport(QListWidget* frames, MessageBoxes& boxes, QWidget* parent)
        : frames_(frames), boxes_(boxes), parent_(parent)
    {
    }

    void frame(const std::vector<std::string>& texts) override;
    void error(const std::string& message) override;

private:
    QListWidget* frames_;
    MessageBoxes& boxes_;
    QWidget* parent_;
};

}  // namespace trelvant
