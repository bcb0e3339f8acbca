#include "editors/frame_list_editor.h"

#include "documents/frame_rows.h"
#include "documents/table_transfer.h"
#include "platform/common_look.h"
#include "platform/error.h"
#include "platform/error_boundary.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "shell/project_state.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace trelvant {
namespace {

struct Column {
    const char* header;
    int width;
};

// Column 0, the row number, comes first in both editors.
const Column kReceiveColumns[] = {{"N", 64}, {"PGN", 115}, {"ID Device", 91}, {"Delete", 64}, {"Mnemonic", 151}};
const Column kTransmitColumns[] = {{"N", 64},  {"Priority", 74}, {"Data Page", 76},
                                   {"PGN", 98}, {"ID Device", 79}, {"Mnemonic", 159}};

constexpr int kRowHeight = 21;
constexpr int kPanelHeight = 41;
const QColor kFixedCells(236, 233, 216);

const QString kGridFont = QStringLiteral("font-family: Tahoma, \"DejaVu Sans\", sans-serif; font-size: 11px;");

// The Delete cell: a centred check box showing "Y" and "y" ticked and anything else clear; a click or
// the space bar switches the cell's text between "Y" and "N".
class CheckBoxCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.text.clear();
        const QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

        QStyleOptionButton box;
        box.rect = checkRect(option);
        box.state = QStyle::State_Enabled | (ticked(index) ? QStyle::State_On : QStyle::State_Off);
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, cell.widget);
    }

    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override { return nullptr; }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override
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
        model->setData(index, ticked(index) ? QStringLiteral("N") : QStringLiteral("Y"));
        return true;
    }

private:
    // The image builder sets a frame's delete flag for "Y" and "y": the cell shows both ticked.
    static bool ticked(const QModelIndex& index)
    {
        const QString text = index.data().toString();
        return text == QStringLiteral("Y") || text == QStringLiteral("y");
    }

    static QRect checkRect(const QStyleOptionViewItem& option)
    {
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, option.widget);
        const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, option.widget);
        QRect rect(0, 0, w, h);
        rect.moveCenter(option.rect.center());
        return rect;
    }
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
        verticalHeader()->setDefaultSectionSize(kRowHeight);
        horizontalHeader()->setFixedHeight(kRowHeight);
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

FrameListEditor::FrameListEditor(Direction mode, const char* name, const ProjectState& project, MessageBoxes& boxes,
                                 QWidget* parent)
    : QDialog(parent), project_(project), boxes_(boxes), editorMode_(mode), columnsFor_(mode)
{
    setObjectName(QString::fromLatin1(name));
    ApplyCommonLook(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    auto* notebook = new QTabWidget(this);
    notebook->setObjectName(QStringLiteral("TabbedNotebook1"));
    auto* page = new QWidget(notebook);
    page->setObjectName(QStringLiteral("Can0-ModBus"));
    notebook->addTab(page, QStringLiteral("Can0-ModBus"));

    sgA_ = new QTableWidget(kDataRows, 0, page);
    sgA_->setObjectName(QStringLiteral("sgA"));
    sgA_->verticalHeader()->hide();
    sgA_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    sgA_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    sgA_->horizontalHeader()->setFixedHeight(kRowHeight);
    sgA_->horizontalHeader()->setHighlightSections(false);
    sgA_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    sgA_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    sgA_->setSelectionBehavior(QAbstractItemView::SelectItems);
    sgA_->setWordWrap(false);
    sgA_->setStyleSheet(QStringLiteral("QTableView { %1 gridline-color: silver; background: white; }"
                                       "QHeaderView::section { %1 font-weight: bold; background: rgb(236, 233, 216);"
                                       " border: none; border-right: 1px solid silver; border-bottom: 1px solid silver;"
                                       " padding: 0px 3px; }")
                            .arg(kGridFont));
    new FixedColumnView(sgA_);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(sgA_);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelBColor1"));
    panel->setFixedHeight(kPanelHeight);
    const int buttonTop = (kPanelHeight - 23) / 2;
    bitbtn1_ = MakeFlatButton(panel, "bitbtn1", QStringLiteral("OK"), QStyle::SP_DialogOkButton);
    bitbtn1_->setGeometry(12, buttonTop, 69, 23);
    QPushButton* cancel = MakeFlatButton(panel, "bitbtn2", QStringLiteral("Cancel"), QStyle::SP_DialogCancelButton);
    cancel->setGeometry(92, buttonTop, 69, 23);
    QPushButton* exportButton = MakeFlatButton(panel, "button1", QStringLiteral("Export"), QStyle::SP_DialogSaveButton);
    exportButton->setGeometry(256, buttonTop, 89, 23);
    QPushButton* importButton = MakeFlatButton(panel, "bitbtn4", QStringLiteral("Import"), QStyle::SP_DialogOpenButton);
    importButton->setGeometry(360, buttonTop, 89, 23);
    // Return is OK wherever the focus is, the grid included, as in the other dialogs; the other
    // buttons answer the space bar and never become the default.
    bitbtn1_->setDefault(true);
    for (QPushButton* other : {cancel, exportButton, importButton}) other->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(notebook, 1);
    layout->addWidget(panel);

    connect(bitbtn1_, &QPushButton::clicked, this, [this] {
        // The dialog closes only when the checks passed and the document was written.
        bool written = false;
        if (RunHandler(boxes_, this, [&] { written = BitBtn1Click(); }) && written) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(importButton, &QPushButton::clicked, this, [this] { RunHandler(boxes_, this, [this] { BitBtn4Click(); }); });
    connect(exportButton, &QPushButton::clicked, this, [this] { RunHandler(boxes_, this, [this] { Button1Click(); }); });

    configureFor(mode);
}

QSize FrameListEditor::clientSize() const
{
    return columnsFor_ == Direction::Receive ? QSize(522, 521) : QSize(612, 521);
}

void FrameListEditor::configureFor(Direction mode)
{
    columnsFor_ = mode;
    const std::span<const Column> columns =
        mode == Direction::Receive ? std::span<const Column>(kReceiveColumns) : std::span<const Column>(kTransmitColumns);
    sgA_->setColumnCount(static_cast<int>(columns.size()));
    QStringList headers;
    for (const Column& column : columns) headers << QString::fromLatin1(column.header);
    sgA_->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        sgA_->setColumnWidth(c, columns[c].width);
        sgA_->setItemDelegateForColumn(c, nullptr);
    }
    if (mode == Direction::Receive) sgA_->setItemDelegateForColumn(kDeleteColumn, new CheckBoxCellDelegate(sgA_));
    sgA_->setAccessibleName(mode == Direction::Receive ? QStringLiteral("Receive J1939 frames")
                                                       : QStringLiteral("Transmit J1939 frames"));
    if (!isMaximized()) setFixedSize(clientSize());
}

void FrameListEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A restore from the task bar is not a new showing: the edits stay.
    if (!event->spontaneous()) RunHandler(boxes_, this, [this] { FormShow(); });
}

void FrameListEditor::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The border keeps the size; only a maximised window lets the grid grow.
    if (event->type() == QEvent::WindowStateChange) {
        if (isMaximized()) {
            setMinimumSize(0, 0);
            setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        } else {
            setFixedSize(clientSize());
        }
    }
}

void FrameListEditor::FormShow()
{
    if (columnsFor_ != editorMode_) configureFor(editorMode_);
    CentreOnScreen(this);

    sgA_->clearContents();
    for (int r = 0; r < kDataRows; ++r) {
        auto* number = new QTableWidgetItem(QString::number(r + 1));
        number->setFlags(Qt::ItemIsEnabled);
        number->setBackground(kFixedCells);
        sgA_->setItem(r, 0, number);
    }

    const bool receive = editorMode_ == Direction::Receive;
    setWindowTitle(receive ? kReceiveCaption : kTransmitCaption);
    documentPath_ = receive ? project_.rcobPath : project_.tcobPath;

    FrameListLoad load = ReadFrameListForEditor(ToPath(documentPath_), editorMode_);
    const std::optional<std::string> cut = KeepEditableFrames(ToPath(documentPath_), load.rows);
    for (int r = 0; r < static_cast<int>(load.rows.size()); ++r)
        for (int c = 0; c < static_cast<int>(load.rows[r].size()) && c + 1 < sgA_->columnCount(); ++c)
            sgA_->setItem(r, c + 1, new QTableWidgetItem(QString::fromStdString(load.rows[r][c])));
    sgA_->scrollToTop();

    // Said before OK could write the shortened list.
    if (cut) boxes_.error(this, QString::fromStdString(*cut));
    if (load.error) throw Error(*load.error);
    bitbtn1_->setFocus();
}

std::vector<FrameRow> FrameListEditor::gridRows() const
{
    std::vector<FrameRow> rows(kDataRows);
    for (int r = 0; r < kDataRows; ++r)
        for (int c = 1; c < sgA_->columnCount(); ++c) {
            const QTableWidgetItem* cell = sgA_->item(r, c);
            rows[r].push_back(cell ? cell->text().toStdString() : std::string());
        }
    return rows;
}

bool FrameListEditor::BitBtn1Click()
{
    const std::vector<FrameRow> rows = gridRows();
    if (const std::optional<std::string> failure = CheckFrameRows(editorMode_, rows)) {
        boxes_.error(this, QString::fromStdString(*failure));
        return false;
    }
    WriteFrameList(ToPath(documentPath_), editorMode_, rows);
    return true;
}

void FrameListEditor::BitBtn4Click()
{
    const std::optional<QString> workbook = import_.chooseWorkbook(this, project_.folder);
    if (!workbook) return;
    for (int r = 0; r < kDataRows; ++r)
        for (int c = 1; c < sgA_->columnCount(); ++c) delete sgA_->takeItem(r, c);

    const std::optional<Worksheet> sheet = TableImport::readSheet(*workbook, kFrameListSheet);
    if (!sheet) return;
    const FrameListImport import = ImportFrameRows(sheet->records, editorMode_);
    for (int r = 0; r < kDataRows; ++r) {
        const FrameRow& row = import.rows[static_cast<std::size_t>(r)];
        for (int c = 1; c < sgA_->columnCount() && c <= static_cast<int>(row.size()); ++c)
            if (!row[c - 1].empty()) sgA_->setItem(r, c, new QTableWidgetItem(QString::fromStdString(row[c - 1])));
    }
    sgA_->scrollToTop();
    if (import.leftOut > 0)
        boxes_.plain(this, QStringLiteral("The list holds %1 frames: the last %2 records of the worksheet were not imported.")
                               .arg(kDataRows)
                               .arg(import.leftOut));
}

void FrameListEditor::Button1Click()
{
    WriteExport(ExportPath(ToPath(project_.folder), kFrameListSheet), FrameListCsv(gridRows()));
}

TFpdoMB::TFpdoMB(const ProjectState& project, MessageBoxes& boxes, QWidget* parent)
    : FrameListEditor(Direction::Receive, "TFpdoMB", project, boxes, parent)
{
}

TFTpdo2MB::TFTpdo2MB(const ProjectState& project, MessageBoxes& boxes, QWidget* parent)
    : FrameListEditor(Direction::Transmit, "TFTpdo2MB", project, boxes, parent)
{
}

}  // namespace trelvant
