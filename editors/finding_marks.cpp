#include "editors/finding_marks.h"

#include "platform/file_names.h"

#include <QAction>
#include <QBrush>
#include <QListWidgetItem>
#include <QTableWidgetItem>
#include <QApplication>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVariant>

namespace trelvant {
namespace {

// The description a field had before it was marked, to give back when the marks go.
constexpr const char* kOwnDescription = "trelvantOwnDescription";
constexpr const char* kMarkAction = "trelvantFindingAction";
// What a field or an item shows, so that marking it again with the same findings does nothing.
constexpr const char* kShownProperty = "trelvantShownFindings";
constexpr int kShownRole = Qt::UserRole + 1;

QString shownKey(const PlaceFindings& findings)
{
    return findings.worst ? QString::number(static_cast<int>(*findings.worst)) + findings.tip : QString();
}

template <typename Item>
void markItem(Item* item, const PlaceFindings& findings)
{
    const QString key = shownKey(findings);
    if (item->data(kShownRole).toString() == key) return;
    item->setData(kShownRole, key);
    if (findings.empty()) {
        for (const int role : {Qt::BackgroundRole, Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleDescriptionRole})
            item->setData(role, QVariant());
        return;
    }
    item->setData(Qt::BackgroundRole, QBrush(FindingTint(*findings.worst)));
    item->setData(Qt::DecorationRole, FindingIcon(*findings.worst));
    item->setData(Qt::ToolTipRole, findings.tip);
    item->setData(Qt::AccessibleDescriptionRole, FindingDescription(findings));
}

}  // namespace

void EditorCheck::load(const std::filesystem::path& folder)
{
    documents_.emplace(folder);
    findings_.clear();
    // The name as it stands in the folder: the findings use it.
    document_ = DisplayPath(documents_->document(document_).path.filename());
}

const std::vector<Finding>& EditorCheck::run(std::string bytes)
{
    if (!documents_) return findings_;
    documents_->replace(document_, std::move(bytes));
    findings_ = FindingsOf(CheckProject(*documents_), document_);
    return findings_;
}

void PlaceFindings::add(const Finding& finding, std::string_view document, std::optional<std::size_t> row)
{
    if (!worst || finding.severity == Severity::Error) worst = finding.severity;
    if (!tip.isEmpty()) tip += QLatin1Char('\n');
    tip += QString::fromStdString(FindingTip(finding, document, row));
}

QColor FindingTint(Severity severity)
{
    return severity == Severity::Error ? QColor(0xF6, 0xC6, 0xC6) : QColor(0xFF, 0xE8, 0xA8);
}

QIcon FindingIcon(Severity severity)
{
    return QApplication::style()->standardIcon(severity == Severity::Error ? QStyle::SP_MessageBoxCritical
                                                                           : QStyle::SP_MessageBoxWarning);
}

QString FindingDescription(const PlaceFindings& findings)
{
    return findings.tip;
}

void MarkItem(QListWidgetItem* item, const PlaceFindings& findings)
{
    markItem(item, findings);
}

void MarkItem(QTableWidgetItem* item, const PlaceFindings& findings)
{
    markItem(item, findings);
}

bool HasFindingMark(const QWidget* field)
{
    return !field->property(kShownProperty).toString().isEmpty();
}

void MarkField(QWidget* field, const PlaceFindings& findings)
{
    const QString key = shownKey(findings);
    if (field->property(kShownProperty).toString() == key) return;
    field->setProperty(kShownProperty, key);
    if (!field->property(kOwnDescription).isValid())
        field->setProperty(kOwnDescription, field->accessibleDescription());
    const QString own = field->property(kOwnDescription).toString();

    if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        auto* action = field->property(kMarkAction).value<QAction*>();
        if (!action && !findings.empty()) {
            action = edit->addAction(QIcon(), QLineEdit::TrailingPosition);
            field->setProperty(kMarkAction, QVariant::fromValue(action));
        }
        if (action) {
            action->setVisible(!findings.empty());
            if (findings.worst) action->setIcon(FindingIcon(*findings.worst));
            action->setToolTip(findings.tip);
        }
    } else {
        // Any other field carries the icon in its top right corner; a drop-down left of its arrow,
        // which stays in sight.
        auto* marker = field->findChild<QLabel*>(QStringLiteral("findingMarker"), Qt::FindDirectChildrenOnly);
        if (!marker && !findings.empty()) {
            marker = new QLabel(field);
            marker->setObjectName(QStringLiteral("findingMarker"));
            marker->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
        if (marker) {
            const int side = field->fontMetrics().height() * 3 / 4;
            if (findings.worst) marker->setPixmap(FindingIcon(*findings.worst).pixmap(side, side));
            marker->setGeometry(field->width() - side - 2, 2, side, side);
            if (auto* dropDown = qobject_cast<QComboBox*>(field)) {
                QStyleOptionComboBox option;
                option.initFrom(dropDown);
                option.editable = dropDown->isEditable();
                const QRect arrow =
                    dropDown->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, dropDown);
                marker->move(arrow.left() - side - 2, (field->height() - side) / 2);
            }
            marker->setVisible(!findings.empty());
            marker->raise();
        }
    }
    if (findings.empty()) {
        field->setStyleSheet(QString());
        field->setToolTip(QString());
        field->setAccessibleDescription(own);
        return;
    }
    const QColor tint = FindingTint(*findings.worst);
    // By its name, so that the tint stays on the field and does not reach the items inside a group.
    if (field->objectName().isEmpty()) field->setObjectName(QStringLiteral("markedField"));
    field->setStyleSheet(QStringLiteral("#%1 { background-color: %2; }").arg(field->objectName(), tint.name()));
    field->setToolTip(findings.tip);
    field->setAccessibleDescription(own.isEmpty() ? findings.tip : own + QLatin1Char('\n') + findings.tip);
}

FindingsLine::FindingsLine(QWidget* dialog) : QLabel(dialog)
{
    setObjectName(QStringLiteral("FindingsLine"));
    setAccessibleName(QStringLiteral("Check of the project"));
    setTextFormat(Qt::PlainText);
    auto* next = new QShortcut(QKeySequence(Qt::Key_F8), dialog);
    next->setContext(Qt::WindowShortcut);
    connect(next, &QShortcut::activated, this, &FindingsLine::nextFinding);
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8), dialog);
    previous->setContext(Qt::WindowShortcut);
    connect(previous, &QShortcut::activated, this, &FindingsLine::previousFinding);
}

void FindingsLine::showFindings(const std::vector<Finding>& findings)
{
    const QString text = QString::fromStdString(FindingsSummary(findings));
    setText(text);
    setToolTip(findings.empty() ? QString() : QStringLiteral("F8: next finding, Shift+F8: previous finding"));
    // Read as what it says; the screen reader gets the count with each change.
    setAccessibleDescription(text);
}

std::optional<int> FindingsLine::step(int count, int direction)
{
    if (count <= 0) {
        current_ = -1;
        return std::nullopt;
    }
    if (current_ < 0 || current_ >= count) current_ = direction > 0 ? 0 : count - 1;
    else current_ = (current_ + direction + count) % count;
    return current_;
}

}  // namespace trelvant
