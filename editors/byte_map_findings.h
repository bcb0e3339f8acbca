#pragma once

#include "documents/byte_map.h"
#include "documents/byte_map_document.h"
#include "documents/direction.h"
#include "editors/finding_marks.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QComboBox;
class QObject;
class QLineEdit;
class QListWidgetItem;

namespace trelvant {

class RadioGroup;
class SelectionList;

// The findings of one register entry: all of them for its item in the register list, and each
// by the field beside the lists that shows it.
struct RegisterFindings {
    PlaceFindings item;
    PlaceFindings index;  // "Index MODBUS"
    PlaceFindings high;   // the high byte's group
    PlaceFindings low;    // the low byte's group
    PlaceFindings write;  // "Write J1939 Frame"
};

// A byte map's findings placed on its entries. Row r of the document is the register entry
// order[r - 1]; its "NrPdo" is its frame's, its other values are the register's.
struct PlacedFindings {
    std::vector<ByteMapPosition> order;
    std::map<std::pair<std::size_t, std::size_t>, RegisterFindings> registers;  // by frame and entry position
    std::vector<PlaceFindings> frames;                                          // a frame's own, by position
    std::vector<std::size_t> rows;  // the rows with findings, ascending

    // The findings of the register entry at position; null for none.
    const RegisterFindings* at(ByteMapPosition position) const;
};

// Places the findings that concern document (own place or the other side of a clash) on map,
// written in order. only: place the findings of that register entry alone.
PlacedFindings PlaceFindingsOnByteMap(const ByteMap& map, std::vector<ByteMapPosition> order,
                                      const std::vector<Finding>& findings, const std::string& document,
                                      std::optional<ByteMapPosition> only = std::nullopt);

// The controls of the byte map editor that show findings.
struct ByteMapFindingControls {
    SelectionList* frames;     // LPdoCanA
    SelectionList* registers;  // LIndMbCanA
    QLineEdit* index;          // EindexA
    RadioGroup* high;          // PoscompMsbA
    RadioGroup* low;           // PoscompLsbA
    QComboBox* write;          // CB_Send_J1939; null in the receive editor
    FindingsLine* line;
};

// The project check as the byte map editor shows it. The lists and the findings line show the
// byte map as it stands in memory; the fields beside the lists show the selected register's
// findings or, while the user changes them, those of the values typed as New or Modify would
// store them.
class ByteMapFindings {
public:
    ByteMapFindings(Direction direction, const ByteMapFindingControls& controls);

    // At each showing, before the first check: the project's other documents, read afresh.
    void load(const std::filesystem::path& folder);
    // Checks map as OK would write it; marks the frame lines, the register list of the selected
    // frame and the findings line.
    void checkMap(const ByteMap& map);
    // Marks the register list's items, which show the registers of the frame entry at frame.
    void markRegisterList(int frame);
    // The fields beside the lists, which hold typed, with frame and position the selected frame
    // and register (-1: none). While they show the selected register as stored (not edited),
    // its findings; else, in one check, those of typed as Modify of the selected register (same
    // index, as integers) or New in the selected frame (an index typed) would store it in map.
    void showFields(const ByteMap& map, int frame, int position, bool edited, const TClIndMB& typed);
    // Calls changed when the user changes a field beside the lists.
    void watchFields(QObject* context, const std::function<void()>& changed) const;

    // The findings of the byte map in memory.
    const std::vector<Finding>& findings() const { return stored_; }
    // What OK asks when the byte map in memory has errors; none when it has none.
    std::optional<QString> saveQuestion() const;
    // The register of the next (step 1) or previous (step -1) row with findings after or before
    // the selected register, in document row order, going round; none when there is none.
    std::optional<ByteMapPosition> step(int direction, std::optional<ByteMapPosition> selected);

private:
    void checkTyped(const ByteMap& map, ByteMapPosition position, bool append, const TClIndMB& typed);
    void markFields(const RegisterFindings& findings);

    Direction direction_;
    ByteMapFindingControls controls_;
    EditorCheck check_;
    std::vector<Finding> stored_;
    PlacedFindings placed_;
    std::vector<std::vector<std::size_t>> rowOf_;  // the document row of each register entry
};

}  // namespace trelvant
