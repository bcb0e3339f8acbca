#include "editors/frame_list_editor.h"

#include "documents/frame_rows.h"
#include "documents/table_transfer.h"
#include "editors/finding_marks.h"
#include "editors/frame_grid.h"
#include "editors/frame_grid_findings.h"
#include "platform/common_look.h"
#include "platform/error.h"
#include "platform/error_boundary.h"
#include "platform/file_names.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "project/project_state.h"

#include <QAction>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <utility>

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

constexpr int kPanelHeight = 41;
const QColor kFixedCells(236, 233, 216);

// The button panel: the buttons at their places, or, in a window narrowed to fit a small screen,
// packed from the left so that every one stays reachable.
class ButtonPanel final : public QWidget {
public:
    using QWidget::QWidget;

    void place(QPushButton* button, int x)
    {
        places_.push_back({button, x});
        button->move(x, button->y());
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        const QPushButton* last = places_.empty() ? nullptr : places_.back().first;
        const bool fits = !last || places_.back().second + last->width() + kGap <= width();
        int x = places_.empty() ? 0 : places_.front().second;
        for (const auto& [button, at] : places_) {
            button->move(fits ? at : x, button->y());
            x += button->width() + kGap;
        }
    }

private:
    static constexpr int kGap = 8;
    std::vector<std::pair<QPushButton*, int>> places_;
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

    sgA_ = new FrameGrid(kDataRows, page);

    // Rows are removed and put in without touching the rows around them.
    auto* deleteRow = new QAction(QStringLiteral("Delete row"), sgA_);
    deleteRow->setObjectName(QStringLiteral("DeleteRow"));
    deleteRow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
    auto* insertRow = new QAction(QStringLiteral("Insert row"), sgA_);
    insertRow->setObjectName(QStringLiteral("InsertRow"));
    insertRow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    for (QAction* action : {insertRow, deleteRow}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        sgA_->addAction(action);
    }
    sgA_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(deleteRow, &QAction::triggered, this, [this] { RunHandler(boxes_, this, [this] { deleteRows(); }); });
    connect(insertRow, &QAction::triggered, this, [this] { RunHandler(boxes_, this, [this] { this->insertRow(); }); });
    // The check's count just under the grid, where it takes one line of the grid's room and never
    // the buttons'.
    findingsLine_ = new FindingsLine(page);
    findingsLine_->setContentsMargins(6, 2, 6, 3);
    findings_ = new FrameGridFindings(sgA_, findingsLine_, [this] { return gridRows(); });
    connect(findingsLine_, &FindingsLine::nextFinding, this, [this] { RunHandler(boxes_, this, [this] { goToFinding(1); }); });
    connect(findingsLine_, &FindingsLine::previousFinding, this,
            [this] { RunHandler(boxes_, this, [this] { goToFinding(-1); }); });
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    pageLayout->addWidget(sgA_, 1);
    pageLayout->addWidget(findingsLine_);

    auto* panel = new ButtonPanel(this);
    panel->setObjectName(QStringLiteral("PanelBColor1"));
    panel->setFixedHeight(kPanelHeight);
    const int buttonTop = (kPanelHeight - 23) / 2;
    bitbtn1_ = MakeFlatButton(panel, "bitbtn1", QStringLiteral("&OK"), QStyle::SP_DialogOkButton);
    bitbtn1_->setGeometry(12, buttonTop, 69, 23);
    QPushButton* cancel = MakeFlatButton(panel, "bitbtn2", QStringLiteral("&Cancel"), QStyle::SP_DialogCancelButton);
    cancel->setGeometry(92, buttonTop, 69, 23);
    QPushButton* exportButton = MakeFlatButton(panel, "button1", QStringLiteral("Export"), QStyle::SP_DialogSaveButton);
    exportButton->setGeometry(256, buttonTop, 89, 23);
    QPushButton* importButton = MakeFlatButton(panel, "bitbtn4", QStringLiteral("Import"), QStyle::SP_DialogOpenButton);
    importButton->setGeometry(360, buttonTop, 89, 23);
    panel->place(bitbtn1_, 12);
    panel->place(cancel, 92);
    panel->place(exportButton, 256);
    panel->place(importButton, 360);
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

FrameListEditor::~FrameListEditor()
{
    // A cell being typed in is stored while the grid goes: no check then, the editor being gone.
    delete findings_;
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
            FitOnScreen(this, clientSize());
        }
    }
}

void FrameListEditor::FormShow()
{
    if (columnsFor_ != editorMode_) configureFor(editorMode_);
    if (isMaximized()) CentreOnScreen(this);
    else FitOnScreen(this, clientSize());

    const bool receive = editorMode_ == Direction::Receive;
    {
        const auto held = findings_->hold();
        sgA_->clearContents();
        for (int r = 0; r < kDataRows; ++r) {
            auto* number = new QTableWidgetItem(QString::number(r + 1));
            number->setFlags(Qt::ItemIsEnabled);
            number->setBackground(kFixedCells);
            sgA_->setItem(r, 0, number);
            if (receive) sgA_->setItem(r, kDeleteColumn, new DeleteCellItem);
        }
    }

    setWindowTitle(receive ? kReceiveCaption : kTransmitCaption);
    documentPath_ = receive ? project_.rcobPath : project_.tcobPath;
    // The other documents cannot change while the dialog is open: read once, before the first check.
    findings_->load(ToPath(project_.folder), editorMode_);

    FrameListLoad load = ReadFrameListForEditor(ToPath(documentPath_), editorMode_);
    const std::optional<std::string> cut = KeepEditableFrames(ToPath(documentPath_), load.rows);
    setGridRows(load.rows);
    sgA_->scrollToTop();
    sgA_->clearSelection();
    sgA_->startAtFirstCell();
    loadedRows_ = gridRows();

    // Said before OK could write the shortened list.
    if (cut) boxes_.error(this, QString::fromStdString(*cut));
    if (load.error) throw Error(*load.error);
    bitbtn1_->setFocus();
}

void FrameListEditor::setCellText(int row, int column, const QString& text)
{
    if (QTableWidgetItem* cell = sgA_->item(row, column)) {
        if (cell->text() != text) cell->setText(text);
    } else if (!text.isEmpty()) {
        sgA_->setItem(row, column, new QTableWidgetItem(text));
    }
}

void FrameListEditor::setGridRows(const std::vector<FrameRow>& rows)
{
    {
        // One check for all the cells, once they are set.
        const auto held = findings_->hold();
        for (int r = 0; r < kDataRows; ++r) {
            const FrameRow* row = r < static_cast<int>(rows.size()) ? &rows[static_cast<std::size_t>(r)] : nullptr;
            for (int c = 1; c < sgA_->columnCount(); ++c) {
                const std::size_t field = static_cast<std::size_t>(c - 1);
                setCellText(r, c, row && field < row->size() ? QString::fromStdString((*row)[field]) : QString());
            }
        }
    }
    findings_->check();
}

QTableWidget* FrameListEditor::sgA() const
{
    return sgA_;
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

namespace {

// A row that holds something to save: a Delete cell reading "N" alone, what every loaded receive
// row has, is nothing.
bool HoldsData(const FrameRow& row, Direction mode)
{
    for (std::size_t c = 0; c < row.size(); ++c) {
        const bool deleteCell = mode == Direction::Receive && c + 1 == FrameListEditor::kDeleteColumn;
        if (!row[c].empty() && !(deleteCell && row[c] == "N")) return true;
    }
    return false;
}

}  // namespace

bool FrameListEditor::BitBtn1Click()
{
    const std::vector<FrameRow> rows = gridRows();
    if (const std::optional<std::string> failure = CheckFrameRows(editorMode_, rows)) {
        boxes_.error(this, QString::fromStdString(*failure));
        return false;
    }
    // The list ends before the first row without a first cell; rows after it would be lost.
    const auto end = std::find_if(rows.begin(), rows.end(), [](const FrameRow& row) { return row.empty() || row[0].empty(); });
    const auto lost = std::count_if(end, rows.end(), [this](const FrameRow& row) { return HoldsData(row, editorMode_); });
    if (lost > 0) {
        const QString first = sgA_->horizontalHeaderItem(1) ? sgA_->horizontalHeaderItem(1)->text() : QString();
        const QString question =
            QStringLiteral("The list ends at row %1, whose %2 cell is empty. %3 from there on %4 data and would not be saved."
                           "\n\nSave the list without %5?")
                .arg(end - rows.begin() + 1)
                .arg(first)
                .arg(lost == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(lost))
                .arg(lost == 1 ? QStringLiteral("holds") : QStringLiteral("hold"))
                .arg(lost == 1 ? QStringLiteral("it") : QStringLiteral("them"));
        if (!boxes_.question(this, question)) return false;
    }
    if (const std::optional<QString> question = findings_->saveQuestion(); question && !boxes_.question(this, *question))
        return false;
    WriteFrameList(ToPath(documentPath_), editorMode_, rows);
    return true;
}

void FrameListEditor::BitBtn4Click()
{
    const std::optional<QString> workbook = import_.chooseWorkbook(this, project_.folder);
    if (!workbook) return;
    // Read whole before the grid changes: a workbook that cannot be read leaves the grid as it was.
    const Worksheet sheet = TableImport::readSheet(*workbook, kFrameListSheet);
    FrameListImport import;
    try {
        import = ImportFrameRows(sheet.records, editorMode_);
    } catch (const Error& refused) {
        throw Error(DisplayPath(ToPath(*workbook)) + ", worksheet " + sheet.name + ": " + refused.what());
    }
    setGridRows(import.rows);
    sgA_->scrollToTop();
    if (import.leftOut > 0)
        boxes_.plain(this, QStringLiteral("The list holds %1 frames: the last %2 records of the worksheet were not imported.")
                               .arg(kDataRows)
                               .arg(import.leftOut));
}

void FrameListEditor::Button1Click()
{
    const std::filesystem::path path = ExportPath(ToPath(project_.folder), kFrameListSheet);
    WriteExport(path, FrameListCsv(gridRows()));
    boxes_.plain(this, QStringLiteral("Exported to ") + QString::fromStdString(DisplayPath(path)));
}

bool FrameListEditor::hasChanges() const
{
    return gridRows() != loadedRows_;
}

void FrameListEditor::goToFinding(int direction)
{
    // A cell being typed in is checked before the step, so that the step goes by what it holds.
    sgA_->finishEditing();
    // Before the user has been in the grid, F8 goes to the first cell with findings.
    const GridCell from = sgA_->entered() ? GridCell{sgA_->currentRow(), sgA_->currentColumn()} : GridCell{-1, -1};
    const std::optional<GridCell> to = findings_->step(direction, from);
    if (!to) return;
    sgA_->setFocus(Qt::ShortcutFocusReason);
    sgA_->setCurrentCell(to->first, to->second);
    sgA_->scrollTo(sgA_->currentIndex());  // also when it was current already, out of sight
}

void FrameListEditor::reject()
{
    if (hasChanges() && !boxes_.question(this, kDiscardChanges)) return;
    QDialog::reject();
}

namespace {

// The grid rows a row command works on: those of the selected cells, or the current cell's row.
std::pair<int, int> RowsToWorkOn(const QTableWidget& grid)
{
    const QList<QTableWidgetSelectionRange> ranges = grid.selectedRanges();
    if (!ranges.isEmpty()) return {ranges.first().topRow(), ranges.first().bottomRow()};
    const int row = grid.currentRow();
    return {row, row};
}

}  // namespace

void FrameListEditor::deleteRows()
{
    const auto [first, last] = RowsToWorkOn(*sgA_);
    if (first < 0) return;
    std::vector<FrameRow> rows = gridRows();
    rows.erase(rows.begin() + first, rows.begin() + last + 1);
    rows.resize(kDataRows, FrameRow(static_cast<std::size_t>(sgA_->columnCount() - 1)));
    setGridRows(rows);
    sgA_->clearSelection();
    sgA_->setCurrentCell(first, std::max(sgA_->currentColumn(), 1), QItemSelectionModel::NoUpdate);
}

void FrameListEditor::insertRow()
{
    const int at = RowsToWorkOn(*sgA_).first;
    if (at < 0) return;
    std::vector<FrameRow> rows = gridRows();
    if (HoldsData(rows.back(), editorMode_)) {
        boxes_.plain(this, QStringLiteral("Row %1 holds a frame: delete a row before inserting one.").arg(kDataRows));
        return;
    }
    rows.pop_back();
    rows.insert(rows.begin() + at, FrameRow(static_cast<std::size_t>(sgA_->columnCount() - 1)));
    setGridRows(rows);
    sgA_->clearSelection();
    sgA_->setCurrentCell(at, std::max(sgA_->currentColumn(), 1), QItemSelectionModel::NoUpdate);
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
