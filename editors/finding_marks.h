#pragma once

#include "documents/project_documents.h"
#include "image/project_check.h"

#include <QColor>
#include <QIcon>
#include <QLabel>
#include <QString>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QListWidgetItem;
class QTableWidgetItem;
class QLineEdit;
class QShortcut;

namespace trelvant {

// The project check as an editor runs it while the user types: the project's other documents are
// read once when the editor is shown (they cannot change while it is open), and each check puts
// the editor's document, as OK would write it, in their place.
class EditorCheck {
public:
    // document: the editor's file name, "pargen.xml", "RCobDef.xml", ...
    explicit EditorCheck(std::string_view document) : document_(document) {}

    // The stored documents of folder, read afresh; the findings are cleared.
    void load(const std::filesystem::path& folder);
    // Checks the project with bytes as the editor's document; the findings that concern it.
    const std::vector<Finding>& run(std::string bytes);

    const std::vector<Finding>& findings() const { return findings_; }
    // The document as the findings name it ("pargen.xml" as it stands in the folder).
    const std::string& document() const { return document_; }
    bool loaded() const { return documents_.has_value(); }

private:
    std::string document_;
    std::optional<ProjectDocuments> documents_;
    std::vector<Finding> findings_;
};

// The findings of one place (a cell, a field, an item): the worst severity and the texts.
struct PlaceFindings {
    std::optional<Severity> worst;  // none: nothing to show
    QString tip;                    // the findings' texts, one a line

    void add(const Finding& finding, std::string_view document, std::optional<std::size_t> row);
    bool empty() const { return !worst.has_value(); }
};

// The look of a place with findings, told apart also without colour: a tint and an icon.
QColor FindingTint(Severity severity);
QIcon FindingIcon(Severity severity);
// "Error: …" read by a screen reader as the place's description; empty for none.
QString FindingDescription(const PlaceFindings& findings);

// A field (a one-line edit, a drop-down, a group) marked with its findings: tinted, an icon at
// its end (line edits), the texts as tool tip and accessible description. An empty PlaceFindings
// takes the marks away and gives back the field's own description. A field already showing these
// findings is left alone, so an editor may mark every field at every check.
void MarkField(QWidget* field, const PlaceFindings& findings);
bool HasFindingMark(const QWidget* field);

// A list item or a grid cell marked the same way: tint, icon, tool tip, and the texts as the
// description a screen reader reads (Qt::AccessibleDescriptionRole).
void MarkItem(QListWidgetItem* item, const PlaceFindings& findings);
void MarkItem(QTableWidgetItem* item, const PlaceFindings& findings);

// The line under an editor's table: "2 errors, 1 warning", or "No problems found". F8 and
// Shift+F8, anywhere in the dialog, ask for the next and previous finding; the editor moves there.
class FindingsLine final : public QLabel {
    Q_OBJECT
public:
    explicit FindingsLine(QWidget* dialog);

    void showFindings(const std::vector<Finding>& findings);
    // Of count places with findings, the one after (step 1) or before (step -1) the current,
    // going round; none when there is none.
    std::optional<int> step(int count, int direction);
    void setCurrent(int position) { current_ = position; }

signals:
    void nextFinding();
    void previousFinding();

private:
    int current_ = -1;
};

}  // namespace trelvant
