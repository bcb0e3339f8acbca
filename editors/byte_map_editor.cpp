#include "editors/byte_map_editor.h"

#include "documents/byte_map_document.h"
#include "documents/integer_conversion.h"
#include "documents/pargen_document.h"
#include "documents/table_transfer.h"
#include "platform/common_look.h"
#include "platform/error.h"
#include "platform/error_boundary.h"
#include "platform/file_names.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "project/project_state.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QShowEvent>
#include <QTabWidget>

#include <algorithm>
#include <optional>

namespace trelvant {
namespace {

constexpr int kPanelHeight = 41;
constexpr int kLabelHeight = 16;
constexpr int kEditHeight = 21;
constexpr int kRegisterButtonWidth = 90;
constexpr int kRegisterButtonHeight = 25;
constexpr int kRegisterButtonStep = kRegisterButtonHeight + 4;

// Sizes that differ between the two editors: the client area and the frame list's width, which
// holds two columns in the receive editor and four in the transmit editor.
struct Shape {
    int width;
    int height;
    int frameListWidth;
    int tabStopUnits;  // dialog units between tab stops of the frame list
    const char* frameHeading;
};
constexpr Shape kReceiveShape{493, 545, 142, 49, "PGN                ID_DEV"};
constexpr Shape kTransmitShape{563, 596, 212, 34, "PRIOR       DP           PGN        ID_DEV"};

QLabel* Caption(QWidget* parent, const QString& text, int x, int y, int width)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(x, y, width, kLabelHeight);
    return label;
}

QString Counted(std::size_t n, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, QStyle::StandardPixmap picture,
                    int x, int y)
{
    QPushButton* button = MakeFlatButton(parent, name, caption, picture);
    button->setGeometry(x, y, kRegisterButtonWidth, kRegisterButtonHeight);
    return button;
}

}  // namespace

ByteMapEditor::ByteMapEditor(Direction mode, const char* name, const ProjectState& project, MessageBoxes& boxes,
                             QWidget* parent)
    : QDialog(parent), project_(project), boxes_(boxes), direction_(mode), editorMode_(mode)
{
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(transmit() ? kTransmitCaption : kReceiveCaption);
    ApplyCommonLook(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    const Shape& shape = transmit() ? kTransmitShape : kReceiveShape;
    clientSize_ = QSize(shape.width, shape.height);
    setFixedSize(clientSize_);
    // The notebook stands on a body that scrolls when the screen is smaller than the dialog; the
    // button bar stays below it, in sight at any scale.
    QWidget* body = MakeScrollingBody(this, QSize(shape.width, shape.height - kPanelHeight));

    auto* notebook = new QTabWidget(body);
    notebook->setObjectName(QStringLiteral("TabbedNotebook1"));
    notebook->setGeometry(4, 4, shape.width - 8, shape.height - kPanelHeight - 8);
    auto* page = new QWidget(notebook);
    page->setObjectName(QStringLiteral("Can0-ModBus"));
    notebook->addTab(page, QStringLiteral("Can0-ModBus"));
    const int pageHeight = notebook->height() - notebook->tabBar()->sizeHint().height() - 6;

    // The register list at the left, wide enough for "65535  B8 B8" and the mark of its findings,
    // the frame list beside it, the check's findings line under both, the register's fields and
    // buttons in a column at the right.
    const int listTop = 44;
    const int listHeight = pageHeight - listTop - 8 - kLabelHeight - 4;
    const int registerListX = 8, registerListWidth = 106;
    const int frameListX = registerListX + registerListWidth + 8;
    const int columnX = frameListX + shape.frameListWidth + 8;
    const int columnWidth = shape.width - 8 - columnX - 8;

    QLabel* framesCaption = Caption(page, QStringLiteral("Correlated"), frameListX, 6, shape.frameListWidth);
    QLabel* registersCaption = Caption(page, QStringLiteral("MODBUS"), registerListX, 24, registerListWidth);
    LIndMbCanA_ = MakeSelectionList(page, "LIndMbCanA", registersCaption,
                       QRect(registerListX, listTop, registerListWidth, listHeight));
    LIndMbCanA_->setAccessibleDescription(QStringLiteral("Index, high byte, low byte"));
    LIndMbCanA_->setItemDelegate(new TabStopDelegate(LIndMbCanA_, shape.tabStopUnits));
    LPdoCanA_ = MakeSelectionList(page, "LPdoCanA", framesCaption, QRect(frameListX, listTop, shape.frameListWidth, listHeight));
    auto* frameHeading = new ColumnHeading(QString::fromLatin1(shape.frameHeading), page, LPdoCanA_, shape.tabStopUnits);
    frameHeading->setGeometry(frameListX, 24, shape.frameListWidth, kLabelHeight);
    frameHeading->setObjectName(QStringLiteral("FrameHeading"));
    LPdoCanA_->setAccessibleDescription(frameHeading->text());
    LPdoCanA_->setItemDelegate(new TabStopDelegate(LPdoCanA_, shape.tabStopUnits));
    findingsLine_ = new FindingsLine(page);
    findingsLine_->setGeometry(registerListX, listTop + listHeight + 4, frameListX + shape.frameListWidth - registerListX,
                               kLabelHeight);

    QLabel* indexCaption = Caption(page, QStringLiteral("Index MODBUS"), columnX, 6, columnWidth);
    EindexA_ = new QLineEdit(page);
    EindexA_->setObjectName(QStringLiteral("EindexA"));
    EindexA_->setGeometry(columnX, 24, 100, kEditHeight);
    indexCaption->setBuddy(EindexA_);
    // Return in the field stores the register instead of pressing OK.
    EindexA_->installEventFilter(this);
    connect(EindexA_, &QLineEdit::textEdited, this, [this] { indexEdited_ = true; });

    // Each radio group with the register byte its choice is translated into beside it; the
    // accessibility tools name a group after that byte.
    const QString groupTitle = QStringLiteral("Selected Frame Byte");
    const int groupWidth = std::max(112, QFontMetrics(font()).horizontalAdvance(groupTitle) + 20);
    const int groupHeight = 114;
    const auto byteGroup = [&](const char* groupName, const QString& registerByte, const QString& spoken, int y) {
        auto* group = new RadioGroup(page, groupName, groupTitle, ByteChoiceItems(), 2);
        group->setGeometry(columnX, y, groupWidth, groupHeight);
        group->setAccessibleName(spoken);
        group->setAccessibleDescription(QStringLiteral("Translate in ") + registerByte);
        const int besideX = columnX + groupWidth + 4, besideWidth = columnWidth - groupWidth - 4;
        Caption(page, QStringLiteral("Translate in"), besideX, y + 40, besideWidth);
        QLabel* target = Caption(page, registerByte, besideX, y + 56, besideWidth);
        target->setWordWrap(true);
        target->setFixedHeight(3 * kLabelHeight);
        return group;
    };
    PoscompMsbA_ = byteGroup("PoscompMsbA", QStringLiteral("High MODBUS Byte"), QStringLiteral("High byte"), 54);
    PoscompLsbA_ = byteGroup("PoscompLsbA", QStringLiteral("Low MODBUS Byte"), QStringLiteral("Low byte"),
                             54 + groupHeight + 6);
    int buttonsTop = 54 + 2 * (groupHeight + 6) + 4;

    if (transmit()) {
        auto* writeGroup = new QGroupBox(QStringLiteral("Write J1939 Frame"), page);
        writeGroup->setObjectName(QStringLiteral("GB_Send_J1939"));
        writeGroup->setGeometry(columnX, buttonsTop, groupWidth, 50);
        CB_Send_J1939_ = new QComboBox(writeGroup);
        CB_Send_J1939_->setObjectName(QStringLiteral("CB_Send_J1939"));
        CB_Send_J1939_->addItems({QStringLiteral("False"), QStringLiteral("True")});
        CB_Send_J1939_->setGeometry(8, 20, groupWidth - 16, kEditHeight);
        CB_Send_J1939_->setAccessibleName(writeGroup->title());
        buttonsTop += 50 + 8;
    }
    findings_ = std::make_unique<ByteMapFindings>(
        direction_, ByteMapFindingControls{LPdoCanA_, LIndMbCanA_, EindexA_, PoscompMsbA_, PoscompLsbA_, CB_Send_J1939_,
                                           findingsLine_});
    findings_->watchFields(this, [this] { fieldChanged(); });
    connect(findingsLine_, &FindingsLine::nextFinding, this, [this] { RunHandler(boxes_, this, [this] { goToFinding(1); }); });
    connect(findingsLine_, &FindingsLine::previousFinding, this,
            [this] { RunHandler(boxes_, this, [this] { goToFinding(-1); }); });

    const auto registerButton = [&](const char* name, const QString& caption, QStyle::StandardPixmap picture, int row) {
        return Button(page, name, caption, picture, columnX, buttonsTop + row * kRegisterButtonStep);
    };
    QPushButton* deleteButton = registerButton("DELETEa", QStringLiteral("Delete"), QStyle::SP_TrashIcon, 0);
    QPushButton* newButton = registerButton("NewA", QStringLiteral("New"), QStyle::SP_FileIcon, 1);
    QPushButton* modifyButton = registerButton("ModifyA", QStringLiteral("Modify"), QStyle::SP_BrowserReload, 2);
    QPushButton* copyButton = registerButton("copyA", QStringLiteral("Copy"), QStyle::SP_FileDialogContentsView, 3);
    QPushButton* pasteButton = registerButton("PasteA", QStringLiteral("Paste"), QStyle::SP_DialogApplyButton, 4);

    // What Copy and Paste did, beside them.
    statusLine_ = new QLabel(page);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    const int statusX = columnX + kRegisterButtonWidth + 8, statusTop = buttonsTop + 3 * kRegisterButtonStep + 4;
    statusLine_->setGeometry(statusX, statusTop, shape.width - 8 - statusX - 8, pageHeight - statusTop - 4);
    statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLine_->setWordWrap(true);

    const ByteMapButtonBar bar = MakeByteMapButtonBar(this, kPanelHeight);
    bitbtn1_ = bar.ok;
    // A control the keyboard reaches from the button bar scrolls into sight, as one reached inside
    // the body does.
    auto* scroll = findChild<QScrollArea*>(QStringLiteral("ScrollingBody"), Qt::FindDirectChildrenOnly);
    connect(qApp, &QApplication::focusChanged, this, [scroll, body](QWidget*, QWidget* now) {
        if (now && body->isAncestorOf(now)) scroll->ensureWidgetVisible(now);
    });

    // The keyboard follows the work: a frame, its registers, the register's fields, then the
    // register buttons and the dialog's buttons.
    ChainTabOrder({LPdoCanA_, LIndMbCanA_, EindexA_, PoscompMsbA_, PoscompLsbA_, CB_Send_J1939_, deleteButton, newButton,
                   modifyButton, copyButton, pasteButton, bar.ok, bar.cancel, bar.exportButton, bar.importButton});

    connect(LPdoCanA_, &SelectionList::chosen, this, [this] { RunHandler(boxes_, this, [this] { LPdoCanAClick(); }); });
    connect(LIndMbCanA_, &SelectionList::chosen, this,
            [this] { RunHandler(boxes_, this, [this] { LIndMbCanAClick(); }); });
    connectHandler(newButton, &ByteMapEditor::NewAClick);
    connectHandler(modifyButton, &ByteMapEditor::ModifyAClick);
    connectHandler(deleteButton, &ByteMapEditor::DeleteAClick);
    connectHandler(copyButton, &ByteMapEditor::CopyAClick);
    connectHandler(pasteButton, &ByteMapEditor::PasteAClick);
    connect(bitbtn1_, &QPushButton::clicked, this, [this] {
        // The dialog closes only once the byte map is written.
        bool written = false;
        if (RunHandler(boxes_, this, [&] { written = BitBtn1Click(); }) && written) accept();
    });
    connect(bar.cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(bar.importButton, &QPushButton::clicked, this, [this] { RunHandler(boxes_, this, [this] { BitBtn4Click(); }); });
    connect(bar.exportButton, &QPushButton::clicked, this, [this] { RunHandler(boxes_, this, [this] { Button1Click(); }); });
}

void ByteMapEditor::connectHandler(QPushButton* button, void (ByteMapEditor::*handler)())
{
    connect(button, &QPushButton::clicked, this, [this, handler] { RunHandler(boxes_, this, [&] { (this->*handler)(); }); });
}

void ByteMapEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A restore from the task bar is not a new showing: the edits stay.
    if (event->spontaneous()) return;
    FitOnScreen(this, clientSize_);
    RunHandler(boxes_, this, [this] { FormShow(); });
}

void ByteMapEditor::FormShow()
{
    // Writing on request is offered only when the communication parameters allow it.
    if (transmit()) CB_Send_J1939_->setEnabled(WriteOnRequestEnabled(ToPath(project_.pargenPath)));

    LPdoCanA_->clear();
    LIndMbCanA_->clear();
    showNoRegister();
    statusLine_->clear();
    setWindowTitle(transmit() ? kTransmitCaption : kReceiveCaption);

    byteMap_.clear();
    shownMap_.clear();
    FrameListReport report(LPdoCanA_, boxes_, this);
    byteMap_ = ReadByteMap(ToPath(project_.folder), direction_, report);
    shownMap_ = byteMap_;
    findings_->load(ToPath(project_.folder));
    findings_->checkMap(byteMap_);
    bitbtn1_->setFocus();
}

void ByteMapEditor::reject()
{
    // A Modify that stored the same fields again changed nothing.
    if (isVisible() && byteMap_ != shownMap_ && !boxes_.question(this, kDiscardChanges)) return;
    QDialog::reject();
}

bool ByteMapEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == EindexA_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            RunHandler(boxes_, this, [this] { EindexAReturn(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ByteMapEditor::showNoRegister()
{
    {
        const QScopedValueRollback<bool> program(showingFields_, true);
        EindexA_->clear();
        PoscompMsbA_->setItemIndex(0);
        PoscompLsbA_->setItemIndex(0);
        if (transmit()) CB_Send_J1939_->setCurrentIndex(0);
    }
    indexEdited_ = false;
    fieldsEdited_ = false;
    showFieldFindings();
}

void ByteMapEditor::fieldChanged()
{
    if (showingFields_) return;
    fieldsEdited_ = true;
    showFieldFindings();
}

void ByteMapEditor::showFieldFindings()
{
    TClIndMB typed;
    storeInto(typed);
    findings_->showFields(byteMap_, LPdoCanA_->selectedRow(), LIndMbCanA_->selectedRow(), fieldsEdited_, typed);
}

void ByteMapEditor::mapChanged()
{
    findings_->checkMap(byteMap_);
    showFieldFindings();
}

void ByteMapEditor::goToFinding(int direction)
{
    std::optional<ByteMapPosition> selected;
    if (selectedRegister())
        selected = ByteMapPosition{static_cast<std::size_t>(LPdoCanA_->selectedRow()),
                                   static_cast<std::size_t>(LIndMbCanA_->selectedRow())};
    const std::optional<ByteMapPosition> next = findings_->step(direction, selected);
    if (!next) return;
    if (LPdoCanA_->selectedRow() != static_cast<int>(next->frame)) {
        LPdoCanA_->select(static_cast<int>(next->frame));
        LPdoCanAClick();
    }
    LIndMbCanA_->select(static_cast<int>(next->entry));
    LIndMbCanAClick();
    LIndMbCanA_->setFocus(Qt::ShortcutFocusReason);
}

void ByteMapEditor::listRegisters()
{
    LIndMbCanA_->clear();
    const TClPdo* frame = selectedFrame();
    if (!frame) return;
    for (std::size_t k = 0; k < frame->registers.size(); ++k) {
        LIndMbCanA_->addItem(QString());
        relabel(static_cast<int>(k));
    }
    findings_->markRegisterList(LPdoCanA_->selectedRow());
}

void ByteMapEditor::relabel(int position)
{
    const TClPdo* frame = selectedFrame();
    QListWidgetItem* item = LIndMbCanA_->item(position);
    if (!frame || !item) return;
    const QString label = RegisterLabel(frame->registers.at(static_cast<std::size_t>(position)));
    item->setText(label);
    item->setData(Qt::AccessibleTextRole, label);
}

void ByteMapEditor::LPdoCanAClick()
{
    listRegisters();
    showNoRegister();
}

void ByteMapEditor::LIndMbCanAClick()
{
    const TClIndMB* entry = selectedRegister();
    if (!entry) return;
    fieldsEdited_ = false;
    // A text that is not an integer stops the fields there; their marks follow all the same.
    const QScopedValueRollback<bool> program(showingFields_, true);
    const auto follow = qScopeGuard([this] { showFieldFindings(); });
    EindexA_->setText(QString::fromStdString(entry->Index));
    indexEdited_ = false;
    showPosComp(StrToInt(entry->PosComp));
    if (transmit()) showWriteChoice(StrToInt(entry->Write_J1939));
}

TClPdo* ByteMapEditor::selectedFrame()
{
    const int frame = LPdoCanA_->selectedRow();
    if (frame < 0 || frame >= static_cast<int>(byteMap_.size())) return nullptr;
    return &byteMap_[static_cast<std::size_t>(frame)];
}

TClIndMB* ByteMapEditor::selectedRegister()
{
    TClPdo* frame = selectedFrame();
    const int position = LIndMbCanA_->selectedRow();
    if (!frame || position < 0 || position >= static_cast<int>(frame->registers.size())) return nullptr;
    return &frame->registers[static_cast<std::size_t>(position)];
}

void ByteMapEditor::showWriteChoice(std::int32_t value)
{
    // A flag other than 0 or 1 chooses no item.
    CB_Send_J1939_->setCurrentIndex(value == 0 || value == 1 ? value : -1);
}

void ByteMapEditor::showPosComp(std::int32_t value)
{
    PoscompMsbA_->setItemIndex((value >> 4) & 15);
    PoscompLsbA_->setItemIndex(value & 15);
}

std::string ByteMapEditor::typedPosComp() const
{
    return std::to_string(16 * PoscompMsbA_->itemIndex() + PoscompLsbA_->itemIndex());
}

std::string ByteMapEditor::writeChoice() const
{
    // No item chosen (a stored flag other than 0 or 1) is stored again as "0".
    return std::to_string(std::max(CB_Send_J1939_->currentIndex(), 0));
}

void ByteMapEditor::storeInto(TClIndMB& entry) const
{
    entry.Index = EindexA_->text().toStdString();
    entry.PosComp = typedPosComp();
    if (transmit()) entry.Write_J1939 = writeChoice();
}

bool ByteMapEditor::indexIsFree(const TClIndMB* excluded)
{
    // Each stored text is converted before the typed one, and only while they are compared: in
    // a map without registers any typed text passes.
    const std::string typed = EindexA_->text().toStdString();
    for (const TClPdo& frame : byteMap_)
        for (const TClIndMB& entry : frame.registers) {
            const std::int32_t stored = StrToInt(entry.Index);
            if (stored != StrToInt(typed) || &entry == excluded) continue;
            // The register that holds the index, found by its frame; as stored when typed otherwise.
            QString holder = QStringLiteral("Index %1 is already used by frame %2 (PGN %3)")
                                 .arg(QString::fromStdString(typed))
                                 .arg(frame.NrPdo)
                                 .arg(QString::fromStdString(frame.PGN));
            if (entry.Index != typed) holder += QStringLiteral(", written there as ") + QString::fromStdString(entry.Index);
            boxes_.plain(this, kDuplicateIndex + QStringLiteral("\n\n") + holder);
            return false;
        }
    return true;
}

std::size_t ByteMapEditor::registerCount() const
{
    std::size_t count = 0;
    for (const TClPdo& frame : byteMap_) count += frame.registers.size();
    return count;
}

void ByteMapEditor::NewAClick()
{
    TClPdo* frame = selectedFrame();
    if (!frame || !indexIsFree(nullptr)) return;

    TClIndMB entry;
    storeInto(entry);
    frame->registers.push_back(std::move(entry));
    const int position = LIndMbCanA_->count();
    LIndMbCanA_->addItem(QString());
    relabel(position);
    LIndMbCanA_->select(position);
    indexEdited_ = false;
    fieldsEdited_ = false;
    mapChanged();
}

void ByteMapEditor::ModifyAClick()
{
    TClIndMB* entry = selectedRegister();
    if (!entry || !indexIsFree(entry)) return;
    storeInto(*entry);
    relabel(LIndMbCanA_->selectedRow());
    indexEdited_ = false;
    fieldsEdited_ = false;
    mapChanged();
}

void ByteMapEditor::DeleteAClick()
{
    if (!selectedRegister()) return;
    const int position = LIndMbCanA_->selectedRow();
    std::vector<TClIndMB>& registers = selectedFrame()->registers;
    registers.erase(registers.begin() + position);
    LIndMbCanA_->remove(position);
    showNoRegister();
    mapChanged();
}

void ByteMapEditor::EindexAReturn()
{
    const TClIndMB* entry = selectedRegister();
    if (entry && SameIndex(EindexA_->text().toStdString(), entry->Index)) {
        ModifyAClick();
    } else if (selectedFrame()) {
        NewAClick();
    } else {
        statusLine_->setText(QStringLiteral("Pick a frame in \"Correlated\" first: New adds the register to it."));
    }
}

QString ByteMapEditor::describeFields() const
{
    QString fields = QStringLiteral("index %1, high %2, low %3")
                         .arg(EindexA_->text().isEmpty() ? QStringLiteral("(empty)") : EindexA_->text(),
                              ByteChoiceName(PoscompMsbA_->itemIndex()), ByteChoiceName(PoscompLsbA_->itemIndex()));
    if (transmit()) fields += QStringLiteral(", write ") + CB_Send_J1939_->currentText();
    return fields;
}

void ByteMapEditor::CopyAClick()
{
    buffer_.index = EindexA_->text().toStdString();
    buffer_.posComp = typedPosComp();
    if (transmit()) buffer_.write = writeChoice();
    buffer_.filled = true;
    statusLine_->setText(QStringLiteral("Copied: ") + describeFields());
}

void ByteMapEditor::PasteAClick()
{
    if (!buffer_.filled) {
        statusLine_->setText(kNothingToPaste);
        return;
    }
    const QScopedValueRollback<bool> program(showingFields_, true);
    fieldsEdited_ = true;
    const auto follow = qScopeGuard([this] { showFieldFindings(); });
    EindexA_->setText(QString::fromStdString(buffer_.index));
    indexEdited_ = true;
    showPosComp(StrToInt(buffer_.posComp));
    if (transmit()) showWriteChoice(StrToInt(buffer_.write));
    statusLine_->setText(QStringLiteral("Pasted: ") + describeFields() + QStringLiteral("; New or Modify stores it"));
}

bool ByteMapEditor::indexNotStored()
{
    if (!indexEdited_) return false;
    const std::string typed = EindexA_->text().toStdString();
    const TClIndMB* entry = selectedRegister();
    if (!entry) return !typed.empty();
    return typed != entry->Index && !SameIndex(typed, entry->Index);
}

bool ByteMapEditor::BitBtn1Click()
{
    if (indexNotStored() &&
        !boxes_.question(this, QStringLiteral("The index %1 typed in \"Index MODBUS\" was not stored with New or Modify."
                                              "\n\nSave the byte map without it?")
                                   .arg(EindexA_->text()))) {
        EindexA_->setFocus();
        return false;
    }
    // An Index that is not an integer stops the writer before anything is asked.
    ByteMapRowOrder(byteMap_);
    if (const std::optional<QString> question = findings_->saveQuestion(); question && !boxes_.question(this, *question))
        return false;
    WriteByteMap(ToPath(project_.folder), direction_, byteMap_);
    return true;
}

void ByteMapEditor::BitBtn4Click()
{
    const std::optional<QString> workbook = import_.chooseWorkbook(this, project_.folder);
    if (!workbook) return;
    // A workbook or worksheet that cannot be read throws before anything changed.
    const Worksheet sheet = TableImport::readSheet(*workbook, ByteMapSheet(direction_));
    const std::string where = DisplayPath(ToPath(*workbook)) + ", worksheet " + sheet.name;

    // The records go into a copy: an import is taken whole or not at all.
    ByteMap imported = byteMap_;
    ByteMapImport result;
    try {
        result = ImportByteMapRecords(imported, sheet.records, direction_);
    } catch (const Error& refused) {
        throw Error(where + ": " + refused.what());
    }
    if (result.stoppedAt)
        throw Error(where + ", record " + std::to_string(*result.stoppedAt + 1) + ": " + result.stopReason);
    if (const std::size_t held = registerCount();
        held > 0 && !boxes_.question(this, QStringLiteral("Replace the %1 of the map?").arg(Counted(held, "register", "registers"))))
        return;

    // The frames and the frame picked stay; its register list shows the new registers.
    byteMap_ = std::move(imported);
    listRegisters();
    showNoRegister();
    mapChanged();
    boxes_.plain(this, QString::fromStdString(ByteMapImportSummary(result, sheet.name, byteMap_.size())));
}

void ByteMapEditor::Button1Click()
{
    const std::filesystem::path path = ExportPath(ToPath(project_.folder), ByteMapSheet(direction_));
    WriteExport(path, ByteMapCsv(byteMap_));
    boxes_.plain(this, QStringLiteral("Exported to ") + QString::fromStdString(DisplayPath(path)));
}

TFInfopdoMB::TFInfopdoMB(const ProjectState& project, MessageBoxes& boxes, QWidget* parent)
    : ByteMapEditor(Direction::Receive, "TFInfopdoMB", project, boxes, parent)
{
}

TFInfoTpdoMB::TFInfoTpdoMB(const ProjectState& project, MessageBoxes& boxes, QWidget* parent)
    : ByteMapEditor(Direction::Transmit, "TFInfoTpdoMB", project, boxes, parent)
{
}

}  // namespace trelvant
