#pragma once

#include "documents/direction.h"
#include "documents/frame_list_document.h"
#include "editors/finding_marks.h"

#include <QObject>
#include <QScopedValueRollback>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QTableWidget;

namespace trelvant {

// A cell of the frame grid: its grid row and column, both counted from 0.
using GridCell = std::pair<int, int>;

// The project check as a frame list editor shows it. After each change of a cell's text the list,
// as OK would write the grid, is checked with the project's other documents; a finding shows at
// the cell of its row and attribute (and, for a clash within the list, also at the other row's
// cell), every finding counts in the findings line.
class FrameGridFindings final : public QObject {
public:
    // rows: the grid's texts as OK takes them.
    FrameGridFindings(QTableWidget* grid, FindingsLine* line, std::function<std::vector<FrameRow>()> rows);

    // At each showing, before the first check: the list's direction, and the project's other
    // documents read afresh.
    void load(const std::filesystem::path& folder, Direction direction);
    // Checks the grid's list; marks the cells and the line.
    void check();
    // While the returned guard lives, changes of cells are not checked: a change of many cells is
    // followed by one check.
    [[nodiscard]] QScopedValueRollback<bool> hold() { return QScopedValueRollback<bool>(held_, true); }

    const std::vector<Finding>& findings() const { return findings_; }
    // The cells with findings, in row order and then column.
    const std::vector<GridCell>& cells() const { return cells_; }
    // What OK asks when the list has errors; none when it has none.
    std::optional<QString> saveQuestion() const;
    // The cell with findings after (step 1) or before (step -1) from, going round; none when no
    // cell has findings.
    std::optional<GridCell> step(int direction, GridCell from) const;

private:
    std::optional<GridCell> cellOf(const std::string& document, std::optional<std::size_t> row,
                                   const std::string& attribute) const;
    void mark(GridCell cell, const PlaceFindings& findings);

    QTableWidget* grid_;
    FindingsLine* line_;
    std::function<std::vector<FrameRow>()> rows_;
    Direction direction_ = Direction::Receive;
    std::optional<EditorCheck> check_;
    std::optional<std::string> checked_;  // the list last checked, as OK would write it
    std::vector<Finding> findings_;
    std::vector<GridCell> cells_;
    bool held_ = false;
};

}  // namespace trelvant
