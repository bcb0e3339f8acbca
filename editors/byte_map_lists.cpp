#include "editors/byte_map_lists.h"

#include "documents/integer_conversion.h"
#include "editors/radio_group.h"
#include "platform/common_look.h"
#include "platform/message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTextOption>
#include <QtMath>

#include <algorithm>
#include <optional>

namespace trelvant {

qreal DialogUnits(const QFont& font, int units)
{
    return QFontMetricsF(font).averageCharWidth() * units / 4.0;
}

QString ByteChoiceName(int choice)
{
    constexpr int kLast = 8;  // B8
    if (choice <= 0) return QStringLiteral("-");
    return QStringLiteral("B%1").arg(std::min(choice, kLast));
}

QStringList ByteChoiceItems()
{
    QStringList items{QStringLiteral("none")};
    for (int b = 1; b <= 8; ++b) items << QStringLiteral("B%1").arg(b);
    return items;
}

QString RegisterLabel(const TClIndMB& entry)
{
    const QString index = entry.Index.empty() ? QStringLiteral("(empty)") : QString::fromStdString(entry.Index);
    const std::optional<std::int32_t> posComp = TryStrToInt(entry.PosComp);
    const QString bytes = posComp ? ByteChoiceName((*posComp >> 4) & 15) + QLatin1Char(' ') + ByteChoiceName(*posComp & 15)
                                  : QStringLiteral("? ?");
    return index + QStringLiteral("  ") + bytes;
}

bool SameIndex(const std::string& a, const std::string& b)
{
    const std::optional<std::int32_t> first = TryStrToInt(a), second = TryStrToInt(b);
    return first && second && *first == *second;
}

SelectionList* MakeSelectionList(QWidget* parent, const char* name, QLabel* caption, const QRect& place)
{
    auto* list = new SelectionList(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setGeometry(place);
    list->setAccessibleName(caption->text());
    // A plain line, which every scale draws whole (the style's sunken frame loses edges at 150 %),
    // in the colour of the edit boxes.
    list->setStyleSheet(QStringLiteral("QListWidget { border: 1px solid rgb(170, 166, 150); background: white; }"
                                       "QListWidget:focus { border-color: rgb(0, 84, 166); }"));
    caption->setBuddy(list);
    return list;
}

ByteMapButtonBar MakeByteMapButtonBar(QDialog* dialog, int height)
{
    auto* panel = new QWidget(dialog);
    panel->setObjectName(QStringLiteral("PanelBColor1"));
    panel->setFixedHeight(height);
    auto* rows = qobject_cast<QBoxLayout*>(dialog->layout());
    rows->setSpacing(0);
    rows->addWidget(panel);
    const ByteMapButtonBar buttons{
        MakeFlatButton(panel, "bitbtn1", QStringLiteral("&OK"), QStyle::SP_DialogOkButton),
        MakeFlatButton(panel, "bitbtn2", QStringLiteral("&Cancel"), QStyle::SP_DialogCancelButton),
        MakeFlatButton(panel, "button1", QStringLiteral("Export"), QStyle::SP_DialogSaveButton),
        MakeFlatButton(panel, "bitbtn4", QStringLiteral("Import"), QStyle::SP_DialogOpenButton),
    };
    for (QPushButton* button : {buttons.ok, buttons.cancel}) button->setFixedSize(69, 23);
    for (QPushButton* button : {buttons.exportButton, buttons.importButton}) button->setFixedSize(89, 23);
    // OK and Cancel at the left, Export and Import at the right, however wide the window is.
    auto* bar = new QHBoxLayout(panel);
    bar->setContentsMargins(12, (height - 23) / 2, 12, (height - 23) / 2);
    bar->setSpacing(0);
    bar->addWidget(buttons.ok);
    bar->addSpacing(11);
    bar->addWidget(buttons.cancel);
    bar->addStretch(1);
    bar->addWidget(buttons.exportButton);
    bar->addSpacing(12);
    bar->addWidget(buttons.importButton);
    buttons.ok->setDefault(true);
    return buttons;
}

void ChainTabOrder(std::initializer_list<QWidget*> widgets)
{
    QWidget* previous = nullptr;
    const auto follow = [&](QWidget* widget) {
        if (previous) QWidget::setTabOrder(previous, widget);
        previous = widget;
    };
    for (QWidget* widget : widgets) {
        if (!widget) continue;
        if (auto* group = qobject_cast<RadioGroup*>(widget)) {
            for (QAbstractButton* item : group->items()) follow(item);
        } else {
            follow(widget);
        }
    }
}

void FrameListReport::frame(const std::vector<std::string>& texts)
{
    QString line;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) line += QLatin1Char('\t');
        line += QString::fromStdString(texts[i]);
    }
    frames_->addItem(line);
}

void FrameListReport::error(const std::string& message)
{
    boxes_.plain(parent_, QString::fromStdString(message));
}

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    const QIcon icon = item.icon;
    item.text.clear();
    item.icon = QIcon();
    item.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = item.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (item.state & QStyle::State_Active) ? QPalette::Normal
                                                                              : QPalette::Inactive;
    const bool selected = item.state & QStyle::State_Selected;
    QRect textPlace = item.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
    if (!icon.isNull()) {
        // At the line's end, where it moves no column.
        const int side = std::min(item.decorationSize.height(), item.rect.height() - 2);
        const QRect place(textPlace.right() - side + 1, item.rect.center().y() - side / 2, side, side);
        icon.paint(painter, place, Qt::AlignCenter, selected ? QIcon::Selected : QIcon::Normal);
        textPlace.setRight(place.left() - kTextMargin);
    }
    QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
    layout.setWrapMode(QTextOption::NoWrap);
    layout.setTabStopDistance(DialogUnits(item.font, units_));
    painter->save();
    painter->setClipRect(textPlace);
    painter->setFont(item.font);
    painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(QRectF(textPlace), text, layout);
    painter->restore();
}

QSize TabStopDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The height of a line of text, whether or not the line carries an icon.
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const bool marked = item.features & QStyleOptionViewItem::HasDecoration;
    item.icon = QIcon();
    item.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = item.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), widget);
    const QFontMetricsF metrics(option.font);
    const qreal width = metrics.size(Qt::TextSingleLine | Qt::TextExpandTabs, index.data().toString(),
                                     qRound(DialogUnits(option.font, units_)))
                            .width();
    size.setWidth(qCeil(width) + 2 * kTextMargin + (marked ? item.decorationSize.width() + kTextMargin : 0));
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
