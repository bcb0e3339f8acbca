#include "editors/byte_map_lists.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QTextOption>
#include <QtMath>

namespace trelvant {

qreal DialogUnits(const QFont& font, int units)
{
    return QFontMetricsF(font).averageCharWidth() * units / 4.0;
}

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget* widget = item.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (item.state & QStyle::State_Active) ? QPalette::Normal
                                                                              : QPalette::Inactive;
    const bool selected = item.state & QStyle::State_Selected;
    QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
    layout.setWrapMode(QTextOption::NoWrap);
    layout.setTabStopDistance(DialogUnits(item.font, units_));
    painter->save();
    painter->setFont(item.font);
    painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(QRectF(item.rect.adjusted(kTextMargin, 0, -kTextMargin, 0)), text, layout);
    painter->restore();
}

QSize TabStopDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QFontMetricsF metrics(option.font);
    const qreal width = metrics.size(Qt::TextSingleLine | Qt::TextExpandTabs, index.data().toString(),
                                     qRound(DialogUnits(option.font, units_)))
                            .width();
    size.setWidth(qCeil(width) + 2 * kTextMargin);
    return size;
}

void ColumnHeading::paintEvent(QPaintEvent*)
{
    const QPoint lines = list_->viewport()->mapTo(window(), QPoint(list_->spacing(), 0));
    const qreal x = lines.x() - mapTo(window(), QPoint(0, 0)).x() + TabStopDelegate::kTextMargin;
    QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
    layout.setWrapMode(QTextOption::NoWrap);
    layout.setTabStopDistance(DialogUnits(list_->font(), units_));
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const QString columns = text().split(QLatin1Char(' '), Qt::SkipEmptyParts).join(QLatin1Char('\t'));
    painter.drawText(QRectF(x, 0, width() - x, height()), columns, layout);
}

SelectionList::SelectionList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!silent_ && selectedRow() >= 0) emit chosen();
    });
}

int SelectionList::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void SelectionList::select(int row)
{
    const QScopedValueRollback<bool> quiet(silent_, true);
    if (row < 0) {
        clearSelection();
        setCurrentRow(-1);
    } else {
        setCurrentRow(row);
    }
}

void SelectionList::remove(int row)
{
    const QScopedValueRollback<bool> quiet(silent_, true);
    delete takeItem(row);
    clearSelection();
    setCurrentRow(-1);
}

void SelectionList::mousePressEvent(QMouseEvent* event)
{
    // Another button than the left one would move the selection without the fields following.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    // A click picks the item under the mouse even when it is selected already; the selection's
    // own change during the press is not told twice.
    {
        const QScopedValueRollback<bool> quiet(silent_, true);
        QListWidget::mousePressEvent(event);
    }
    if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()) && selectedRow() >= 0) emit chosen();
}

void SelectionList::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListWidget::mouseReleaseEvent(event);
}

void SelectionList::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListWidget::mouseDoubleClickEvent(event);
}

void SelectionList::mouseMoveEvent(QMouseEvent* event)
{
    // A drag with the other buttons selects nothing; a move without a button still lights up
    // the item under the mouse.
    if (event->buttons() != Qt::NoButton && !(event->buttons() & Qt::LeftButton)) {
        event->accept();
        return;
    }
    QListWidget::mouseMoveEvent(event);
}

void SelectionList::focusInEvent(QFocusEvent* event)
{
    // The view makes its first item current when it gains the focus with none; here nothing is
    // picked until the user picks it, and the first arrow key then picks the first item.
    const bool none = selectedRow() < 0;
    QListWidget::focusInEvent(event);
    if (none && selectedRow() < 0 && currentRow() >= 0) {
        const QScopedValueRollback<bool> quiet(silent_, true);
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
}

}  // namespace trelvant
