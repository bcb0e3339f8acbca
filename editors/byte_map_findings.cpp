#include "editors/byte_map_findings.h"

#include "documents/integer_conversion.h"
#include "editors/byte_map_lists.h"
#include "editors/radio_group.h"
#include "platform/file_names.h"

#include <QAbstractButton>
#include <QBrush>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QVariant>

#include <algorithm>

namespace trelvant {
namespace {

// The high and the low byte choice of a PosComp text that is an integer of one byte.
std::optional<std::pair<int, int>> Choices(const std::string& posComp)
{
    const std::optional<std::int32_t> value = TryStrToInt(posComp);
    if (!value || *value < 0 || *value > 255) return std::nullopt;
    return std::pair{*value >> 4, *value & 15};
}

// The byte groups a finding on PosComp concerns, high and low: the halves that make the choice
// it is about, else both.
std::pair<bool, bool> GroupsOf(const Finding& finding, const TClIndMB& entry)
{
    const std::optional<std::pair<int, int>> choices = Choices(entry.PosComp);
    if (!choices || finding.byteChoice == 0) return {true, true};
    const auto [high, low] = *choices;
    if (high != finding.byteChoice && low != finding.byteChoice) return {true, true};
    return {high == finding.byteChoice, low == finding.byteChoice};
}

QString Registers(std::size_t n, const char* with)
{
    return QStringLiteral("%1 %2 with %3").arg(n).arg(n == 1 ? QStringLiteral("register") : QStringLiteral("registers"),
                                                   QString::fromLatin1(with));
}

}  // namespace

const RegisterFindings* PlacedFindings::at(ByteMapPosition position) const
{
    const auto found = registers.find({position.frame, position.entry});
    return found == registers.end() ? nullptr : &found->second;
}

PlacedFindings PlaceFindingsOnByteMap(const ByteMap& map, std::vector<ByteMapPosition> order,
                                      const std::vector<Finding>& findings, const std::string& document,
                                      std::optional<ByteMapPosition> only)
{
    PlacedFindings placed;
    placed.order = std::move(order);
    placed.frames.resize(map.size());
    const auto place = [&](const Finding& finding, std::size_t row, const std::string& attribute) {
        if (row < 1 || row > placed.order.size()) return;
        const ByteMapPosition position = placed.order[row - 1];
        if (only && position != *only) return;
        placed.rows.push_back(row);
        if (attribute == "NrPdo") {
            placed.frames[position.frame].add(finding, document, row);
            return;
        }
        RegisterFindings& at = placed.registers[{position.frame, position.entry}];
        at.item.add(finding, document, row);
        if (attribute == "PosComp") {
            const auto [high, low] = GroupsOf(finding, map[position.frame].registers[position.entry]);
            if (high) at.high.add(finding, document, row);
            if (low) at.low.add(finding, document, row);
        } else if (attribute == "Write_J1939") {
            at.write.add(finding, document, row);
        } else {
            // "Index", or the row as a whole.
            at.index.add(finding, document, row);
        }
    };
    for (const Finding& finding : findings) {
        if (finding.row && SameFileName(finding.document, document)) place(finding, *finding.row, finding.attribute);
        if (finding.alsoAt && finding.alsoAt->row && SameFileName(finding.alsoAt->document, document))
            place(finding, *finding.alsoAt->row, finding.alsoAt->attribute);
    }
    std::ranges::sort(placed.rows);
    placed.rows.erase(std::unique(placed.rows.begin(), placed.rows.end()), placed.rows.end());
    return placed;
}

ByteMapFindings::ByteMapFindings(Direction direction, const ByteMapFindingControls& controls)
    : direction_(direction),
      controls_(controls),
      check_(direction == Direction::Transmit ? "TInfoCob.xml" : "RInfoCob.xml")
{
}

void ByteMapFindings::load(const std::filesystem::path& folder)
{
    check_.load(folder);
    stored_.clear();
    placed_ = {};
    rowOf_.clear();
}

void ByteMapFindings::checkMap(const ByteMap& map)
{
    std::vector<ByteMapPosition> order = ByteMapRowOrderOfAny(map);
    stored_ = check_.run(ByteMapXml(direction_, map, order));
    rowOf_.assign(map.size(), {});
    for (std::size_t f = 0; f < map.size(); ++f) rowOf_[f].resize(map[f].registers.size());
    for (std::size_t r = 0; r < order.size(); ++r) rowOf_[order[r].frame][order[r].entry] = r + 1;
    placed_ = PlaceFindingsOnByteMap(map, std::move(order), stored_, check_.document());

    // A frame line sums up its registers' findings and shows its own.
    std::vector<std::pair<std::size_t, std::size_t>> registers(map.size());  // with errors, with warnings only
    for (const auto& [position, findings] : placed_.registers) {
        if (!findings.item.worst) continue;
        auto& counts = registers[position.first];
        (*findings.item.worst == Severity::Error ? counts.first : counts.second) += 1;
    }
    for (int f = 0; f < controls_.frames->count() && f < static_cast<int>(map.size()); ++f) {
        const auto [errors, warnings] = registers[static_cast<std::size_t>(f)];
        const PlaceFindings& own = placed_.frames[static_cast<std::size_t>(f)];
        PlaceFindings line;
        QStringList tip;
        if (errors > 0) tip << Registers(errors, "errors");
        if (warnings > 0) tip << Registers(warnings, "warnings");
        if (!own.empty()) tip << own.tip;
        if (errors > 0 || own.worst == Severity::Error) line.worst = Severity::Error;
        else if (warnings > 0 || own.worst) line.worst = Severity::Warning;
        line.tip = tip.join(QLatin1Char('\n'));
        MarkItem(controls_.frames->item(f), line);
    }
    markRegisterList(controls_.frames->selectedRow());
    controls_.line->showFindings(stored_);
}

void ByteMapFindings::markRegisterList(int frame)
{
    for (int k = 0; k < controls_.registers->count(); ++k) {
        const RegisterFindings* findings =
            frame < 0 ? nullptr : placed_.at({static_cast<std::size_t>(frame), static_cast<std::size_t>(k)});
        MarkItem(controls_.registers->item(k), findings ? findings->item : PlaceFindings{});
    }
}

void ByteMapFindings::showFields(const ByteMap& map, int frame, int position, bool edited, const TClIndMB& typed)
{
    const bool frameSelected = frame >= 0 && frame < static_cast<int>(map.size());
    const auto f = static_cast<std::size_t>(frame);
    const bool registerSelected =
        frameSelected && position >= 0 && position < static_cast<int>(map[f].registers.size());
    const ByteMapPosition at{f, registerSelected ? static_cast<std::size_t>(position) : 0};
    if (registerSelected && !edited) {
        const RegisterFindings* findings = placed_.at(at);
        markFields(findings ? *findings : RegisterFindings{});
    } else if (registerSelected && SameIndex(typed.Index, map[f].registers[at.entry].Index)) {
        checkTyped(map, at, false, typed);
    } else if (frameSelected && !typed.Index.empty()) {
        checkTyped(map, at, true, typed);
    } else {
        markFields({});
    }
}

void ByteMapFindings::watchFields(QObject* context, const std::function<void()>& changed) const
{
    QObject::connect(controls_.index, &QLineEdit::textChanged, context, changed);
    for (RadioGroup* group : {controls_.high, controls_.low})
        for (QAbstractButton* item : group->items())
            QObject::connect(item, &QAbstractButton::toggled, context, [changed](bool chosen) {
                if (chosen) changed();
            });
    if (controls_.write) QObject::connect(controls_.write, &QComboBox::currentIndexChanged, context, changed);
}

void ByteMapFindings::checkTyped(const ByteMap& map, ByteMapPosition position, bool append, const TClIndMB& typed)
{
    ByteMap pending = map;
    std::vector<TClIndMB>& registers = pending.at(position.frame).registers;
    if (append) {
        position.entry = registers.size();
        registers.push_back(typed);
    } else {
        registers.at(position.entry) = typed;
    }
    std::vector<ByteMapPosition> order = ByteMapRowOrderOfAny(pending);
    const std::size_t row = static_cast<std::size_t>(std::ranges::find(order, position) - order.begin()) + 1;
    const std::vector<Finding>& findings = check_.run(ByteMapXml(direction_, pending, order));
    const PlacedFindings placed = PlaceFindingsOnByteMap(pending, std::move(order), findings, check_.document(), position);
    RegisterFindings fields = placed.at(position) ? *placed.at(position) : RegisterFindings{};
    // A register added to a full map is one more than the image holds.
    if (append)
        for (const Finding& finding : findings)
            if (finding.code == "capacity" && SameFileName(finding.document, check_.document()))
                fields.index.add(finding, check_.document(), row);
    markFields(fields);
}

void ByteMapFindings::markFields(const RegisterFindings& findings)
{
    MarkField(controls_.index, findings.index);
    MarkField(controls_.high, findings.high);
    MarkField(controls_.low, findings.low);
    if (controls_.write) MarkField(controls_.write, findings.write);
}

std::optional<QString> ByteMapFindings::saveQuestion() const
{
    const char* subject = direction_ == Direction::Transmit ? "The transmit byte map" : "The receive byte map";
    const std::optional<std::string> question = SaveQuestion(subject, check_.document(), stored_);
    if (!question) return std::nullopt;
    return QString::fromStdString(*question);
}

std::optional<ByteMapPosition> ByteMapFindings::step(int direction, std::optional<ByteMapPosition> selected)
{
    const std::vector<std::size_t>& rows = placed_.rows;
    int current = -1;
    if (selected && selected->frame < rowOf_.size() && selected->entry < rowOf_[selected->frame].size()) {
        // From a register without findings, the next one after it or the previous one before it.
        const std::size_t row = rowOf_[selected->frame][selected->entry];
        const auto at = std::ranges::lower_bound(rows, row);
        const int k = static_cast<int>(at - rows.begin());
        current = at != rows.end() && *at == row ? k : direction > 0 ? k - 1 : k;
    }
    controls_.line->setCurrent(current);
    const std::optional<int> next = controls_.line->step(static_cast<int>(rows.size()), direction);
    if (!next) return std::nullopt;
    return placed_.order[rows[static_cast<std::size_t>(*next)] - 1];
}

}  // namespace trelvant
