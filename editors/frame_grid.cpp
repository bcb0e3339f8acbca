#include "editors/frame_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>

namespace trelvant {
namespace {

const QString kGridFont = QStringLiteral("font-family: Tahoma, \"DejaVu Sans\", sans-serif; font-size: 11px;");

// Ctrl+Tab and Ctrl+Shift+Tab leave the grid, as in the toolkit's other grids; Tab and Shift+Tab
// move from cell to cell.
bool IsLeaveKey(const QKeyEvent* key)
{
    return (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && (key->modifiers() & Qt::ControlModifier);
}

bool LeavesForward(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
}

QRect CheckRect(const QStyleOptionViewItem& option)
{
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, option.widget);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, option.widget);
    QRect rect(0, 0, w, h);
    rect.moveCenter(option.rect.center());
    return rect;
}

// The text cells: Ctrl+Tab while a cell is being edited keeps the typed text and leaves the grid.
class TextCellDelegate final : public QStyledItemDelegate {
public:
    explicit TextCellDelegate(FrameGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress && IsLeaveKey(static_cast<QKeyEvent*>(event))) {
            const bool forward = LeavesForward(static_cast<QKeyEvent*>(event));
            emit commitData(editor);
            emit closeEditor(editor, NoHint);
            grid_->leave(forward);
            return true;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    FrameGrid* grid_;
};

// The row numbers of column 0 laid over the grid's left edge, so that they stay in view while
// the other columns scroll sideways.
class FixedColumnView final : public QTableView {
public:
    explicit FixedColumnView(QTableWidget* grid) : QTableView(grid), grid_(grid), gridViewport_(grid->viewport())
    {
        setObjectName(QStringLiteral("sgAFixedColumn"));
        setModel(grid->model());
        setSelectionModel(grid->selectionModel());
        setFocusPolicy(Qt::NoFocus);
        verticalHeader()->hide();
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        verticalHeader()->setDefaultSectionSize(kFrameRowHeight);
        horizontalHeader()->setFixedHeight(kFrameRowHeight);
        horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        horizontalHeader()->setHighlightSections(false);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFrameShape(QFrame::NoFrame);
        grid->viewport()->stackUnder(this);
        grid->viewport()->installEventFilter(this);

        connect(verticalScrollBar(), &QAbstractSlider::valueChanged, grid->verticalScrollBar(), &QAbstractSlider::setValue);
        connect(grid->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(), &QAbstractSlider::setValue);
        connect(grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
            if (section == 0) place();
        });
        connect(grid->model(), &QAbstractItemModel::columnsInserted, this, &FixedColumnView::showFirstColumnOnly);
        connect(grid->model(), &QAbstractItemModel::columnsRemoved, this, &FixedColumnView::showFirstColumnOnly);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Compared by the address kept: the grid may be half destroyed when its viewport goes.
        if (watched == gridViewport_ && event->type() == QEvent::Resize) place();
        return false;
    }

private:
    void showFirstColumnOnly()
    {
        for (int c = 0; c < model()->columnCount(); ++c) setColumnHidden(c, c != 0);
        place();
    }

    void place()
    {
        setColumnWidth(0, grid_->columnWidth(0));
        setGeometry(grid_->frameWidth(), grid_->frameWidth(), grid_->columnWidth(0),
                    grid_->horizontalHeader()->height() + grid_->viewport()->height());
        verticalScrollBar()->setValue(grid_->verticalScrollBar()->value());
    }

    QTableWidget* grid_;
    QWidget* gridViewport_;
};

}  // namespace

bool Ticked(const QString& text)
{
    return text == QStringLiteral("Y") || text == QStringLiteral("y");
}

DeleteCellItem::DeleteCellItem(const QString& text) : QTableWidgetItem(text, UserType)
{
    setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
}

QVariant DeleteCellItem::data(int role) const
{
    if (role == Qt::CheckStateRole) return static_cast<int>(Ticked(text()) ? Qt::Checked : Qt::Unchecked);
    return QTableWidgetItem::data(role);
}

void DeleteCellItem::setData(int role, const QVariant& value)
{
    if (role == Qt::CheckStateRole) {
        const bool tick = value.toInt() == Qt::Checked;
        QTableWidgetItem::setData(Qt::DisplayRole, tick ? QStringLiteral("Y") : QStringLiteral("N"));
        return;
    }
    QTableWidgetItem::setData(role, value);
}

void CheckBoxCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    const QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

    QStyleOptionButton box;
    box.rect = CheckRect(option);
    box.state = QStyle::State_Enabled | (Ticked(index.data().toString()) ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, cell.widget);
}

bool CheckBoxCellDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                       const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !option.rect.contains(mouse->position().toPoint())) return false;
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Space && key != Qt::Key_Select) return false;
    } else {
        return false;
    }
    model->setData(index, Ticked(index.data().toString()) ? QStringLiteral("N") : QStringLiteral("Y"));
    return true;
}

FrameGrid::FrameGrid(int rows, QWidget* parent) : QTableWidget(rows, 0, parent)
{
    setItemDelegate(new TextCellDelegate(this));
    setObjectName(QStringLiteral("sgA"));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kFrameRowHeight);
    horizontalHeader()->setFixedHeight(kFrameRowHeight);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    // While the grid has the focus, its frame and its current cell are drawn in the highlight
    // colour so that the user sees where typing goes.
    setStyleSheet(QStringLiteral("QTableView { %1 gridline-color: silver; background: white;"
                                 " border: 1px solid rgb(170, 166, 150); }"
                                 "QTableView:focus { border: 1px solid rgb(0, 84, 166); }"
                                 "QTableView::item:focus { border: 2px solid rgb(0, 84, 166); }"
                                 "QHeaderView::section { %1 font-weight: bold; background: rgb(236, 233, 216);"
                                 " border: none; border-right: 1px solid silver; border-bottom: 1px solid silver;"
                                 " padding: 0px 3px; }")
                      .arg(kGridFont));
    new FixedColumnView(this);
}

void FrameGrid::startAtFirstCell()
{
    if (columnCount() > 1) selectionModel()->setCurrentIndex(model()->index(0, 1), QItemSelectionModel::NoUpdate);
    entered_ = false;
}

void FrameGrid::finishEditing()
{
    if (state() != EditingState) return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void FrameGrid::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    QTableWidget::scrollTo(index, hint);
    if (!index.isValid() || index.column() == 0) return;
    QScrollBar* bar = horizontalScrollBar();
    while (columnViewportPosition(index.column()) < columnWidth(0) && bar->value() > bar->minimum()) {
        const int hidden = columnWidth(0) - columnViewportPosition(index.column());
        bar->setValue(bar->value() - (horizontalScrollMode() == ScrollPerPixel ? hidden : 1));
    }
}

void FrameGrid::keyPressEvent(QKeyEvent* event)
{
    if (IsLeaveKey(event)) {
        leave(LeavesForward(event));
        return;
    }
    QTableWidget::keyPressEvent(event);
}

QModelIndex FrameGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex to = QTableWidget::moveCursor(action, modifiers);
    if (!to.isValid() || to.column() != 0 || columnCount() < 2) return to;
    if (action == MovePrevious) return to.row() > 0 ? model()->index(to.row() - 1, columnCount() - 1) : currentIndex();
    return model()->index(to.row(), 1);
}

void FrameGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // A click on a row number makes the row's first data cell current.
    if (current.isValid() && current.column() == 0 && columnCount() > 1) {
        selectionModel()->setCurrentIndex(model()->index(current.row(), 1), QItemSelectionModel::NoUpdate);
        return;
    }
    QTableWidget::currentChanged(current, previous);
}

void FrameGrid::focusInEvent(QFocusEvent* event)
{
    if (!currentIndex().isValid()) startAtFirstCell();
    entered_ = true;
    QTableWidget::focusInEvent(event);
}

}  // namespace trelvant
