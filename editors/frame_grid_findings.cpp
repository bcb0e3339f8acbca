#include "editors/frame_grid_findings.h"

#include "platform/file_names.h"

#include <QBrush>
#include <QTableWidget>
#include <QVariant>

#include <algorithm>
#include <map>

namespace trelvant {
namespace {

// Only a change of a cell's text changes the list; the marks themselves change other roles.
bool ChangesText(const QList<int>& roles)
{
    return roles.isEmpty() || roles.contains(Qt::DisplayRole) || roles.contains(Qt::EditRole);
}

}  // namespace

FrameGridFindings::FrameGridFindings(QTableWidget* grid, FindingsLine* line, std::function<std::vector<FrameRow>()> rows)
    : QObject(grid), grid_(grid), line_(line), rows_(std::move(rows))
{
    connect(grid->model(), &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (!held_ && ChangesText(roles)) check();
            });
}

void FrameGridFindings::load(const std::filesystem::path& folder, Direction direction)
{
    direction_ = direction;
    check_.emplace(std::string(direction == Direction::Receive ? kReceiveFrameListFileName : kTransmitFrameListFileName));
    check_->load(folder);
    checked_.reset();
}

void FrameGridFindings::check()
{
    if (!check_) return;
    // Texts after the list's end, and texts typed over with the same text, leave the list as it was.
    std::string bytes = FrameListXml(direction_, rows_());
    if (checked_ && bytes == *checked_) return;
    checked_ = bytes;
    findings_ = check_->run(std::move(bytes));
    const std::string& document = check_->document();
    std::map<GridCell, PlaceFindings> placed;
    for (const Finding& finding : findings_) {
        if (const std::optional<GridCell> cell = cellOf(finding.document, finding.row, finding.attribute))
            placed[*cell].add(finding, document, finding.row);
        if (!finding.alsoAt) continue;
        const FindingPlace& other = *finding.alsoAt;
        if (const std::optional<GridCell> cell = cellOf(other.document, other.row, other.attribute))
            placed[*cell].add(finding, document, other.row);
    }

    const auto marking = QScopedValueRollback<bool>(held_, true);
    for (const GridCell& cell : cells_)
        if (!placed.contains(cell)) mark(cell, PlaceFindings{});
    cells_.clear();
    for (const auto& [cell, findings] : placed) {
        mark(cell, findings);
        cells_.push_back(cell);
    }
    line_->showFindings(findings_);
}

std::optional<GridCell> FrameGridFindings::cellOf(const std::string& document, std::optional<std::size_t> row,
                                                  const std::string& attribute) const
{
    if (!row || *row < 1 || *row > static_cast<std::size_t>(grid_->rowCount()) || !SameFileName(document, check_->document()))
        return std::nullopt;
    const std::span<const std::string_view> attributes = FrameListAttributes(direction_);
    const auto at = std::ranges::find(attributes, attribute);
    if (at == attributes.end()) return std::nullopt;
    return GridCell{static_cast<int>(*row) - 1, static_cast<int>(at - attributes.begin()) + 1};
}

void FrameGridFindings::mark(GridCell cell, const PlaceFindings& findings)
{
    const auto [row, column] = cell;
    QTableWidgetItem* item = grid_->item(row, column);
    if (!item) {
        if (findings.empty()) return;
        item = new QTableWidgetItem;
        grid_->setItem(row, column, item);
    }
    MarkItem(item, findings);
}

std::optional<QString> FrameGridFindings::saveQuestion() const
{
    if (!check_) return std::nullopt;
    const char* subject = direction_ == Direction::Receive ? "The receive list" : "The transmit list";
    const std::optional<std::string> question = SaveQuestion(subject, check_->document(), findings_);
    if (!question) return std::nullopt;
    return QString::fromStdString(*question);
}

std::optional<GridCell> FrameGridFindings::step(int direction, GridCell from) const
{
    if (cells_.empty()) return std::nullopt;
    if (direction > 0) {
        const auto next = std::ranges::upper_bound(cells_, from);
        return next == cells_.end() ? cells_.front() : *next;
    }
    const auto previous = std::ranges::lower_bound(cells_, from);
    return previous == cells_.begin() ? cells_.back() : *std::prev(previous);
}

}  // namespace trelvant
