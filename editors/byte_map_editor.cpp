#include "editors/byte_map_editor.h"

#include "documents/byte_map_document.h"
#include "documents/integer_conversion.h"
#include "documents/pargen_document.h"
#include "documents/reading_report.h"
#include "documents/table_transfer.h"
#include "platform/common_look.h"
#include "platform/error.h"
#include "platform/error_boundary.h"
#include "platform/file_names.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "project/project_state.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>

#include <algorithm>

namespace trelvant {
namespace {

constexpr int kMaxByteChoice = 8;  // B8
constexpr int kPanelHeight = 41;
constexpr int kLabelHeight = 16;
constexpr int kEditHeight = 21;
constexpr int kRegisterButtonWidth = 90;
constexpr int kRegisterButtonHeight = 25;

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

// A register list or the frame list with its caption label, through which the user and
// accessibility tools find it.
SelectionList* List(QWidget* parent, const char* name, QLabel* caption, const QRect& place)
{
    auto* list = new SelectionList(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setGeometry(place);
    list->setAccessibleName(caption->text());
    caption->setBuddy(list);
    return list;
}

QStringList ByteChoices()
{
    QStringList items{QStringLiteral("none")};
    for (int b = 1; b <= kMaxByteChoice; ++b) items << QStringLiteral("B%1").arg(b);
    return items;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, QStyle::StandardPixmap picture,
                    int x, int y)
{
    QPushButton* button = MakeFlatButton(parent, name, caption, picture);
    button->setGeometry(x, y, kRegisterButtonWidth, kRegisterButtonHeight);
    return button;
}

// Hands the frame lines to the frame list and shows the reading pass's messages.
class FrameListReport final : public ReadingReport {
public:
    FrameListReport(QListWidget* frames, MessageBoxes& boxes, QWidget* parent)
        : frames_(frames), boxes_(boxes), parent_(parent)
    {
    }

    void frame(const std::vector<std::string>& texts) override
    {
        QString line;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (i > 0) line += QLatin1Char('\t');
            line += QString::fromStdString(texts[i]);
        }
        frames_->addItem(line);
    }

    void error(const std::string& message) override { boxes_.plain(parent_, QString::fromStdString(message)); }

private:
    QListWidget* frames_;
    MessageBoxes& boxes_;
    QWidget* parent_;
};

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
    // The controls stand on a body of the client size that scrolls when the screen is smaller.
    QWidget* body = MakeScrollingBody(this, clientSize_);

    auto* notebook = new QTabWidget(body);
    notebook->setObjectName(QStringLiteral("TabbedNotebook1"));
    notebook->setGeometry(4, 4, shape.width - 8, shape.height - kPanelHeight - 8);
    auto* page = new QWidget(notebook);
    page->setObjectName(QStringLiteral("Can0-ModBus"));
    notebook->addTab(page, QStringLiteral("Can0-ModBus"));
    const int pageHeight = notebook->height() - notebook->tabBar()->sizeHint().height() - 6;

    // The register list at the left, the frame list beside it, the register's fields and
    // buttons in a column at the right.
    const int listTop = 44;
    const int listHeight = pageHeight - listTop - 8;
    const int registerListX = 8, registerListWidth = 74;
    const int frameListX = registerListX + registerListWidth + 8;
    const int columnX = frameListX + shape.frameListWidth + 12;
    const int columnWidth = shape.width - 8 - columnX - 8;

    QLabel* framesCaption = Caption(page, QStringLiteral("Correlated"), frameListX, 6, shape.frameListWidth);
    QLabel* registersCaption = Caption(page, QStringLiteral("MODBUS"), registerListX, 24, registerListWidth);
    LIndMbCanA_ = List(page, "LIndMbCanA", registersCaption,
                       QRect(registerListX, listTop, registerListWidth, listHeight));
    LPdoCanA_ = List(page, "LPdoCanA", framesCaption, QRect(frameListX, listTop, shape.frameListWidth, listHeight));
    auto* frameHeading = new ColumnHeading(QString::fromLatin1(shape.frameHeading), page, LPdoCanA_, shape.tabStopUnits);
    frameHeading->setGeometry(frameListX, 24, shape.frameListWidth, kLabelHeight);
    frameHeading->setObjectName(QStringLiteral("FrameHeading"));
    LPdoCanA_->setAccessibleDescription(frameHeading->text());
    LPdoCanA_->setItemDelegate(new TabStopDelegate(LPdoCanA_, shape.tabStopUnits));

    QLabel* indexCaption = Caption(page, QStringLiteral("Index MODBUS"), columnX, 6, columnWidth);
    EindexA_ = new QLineEdit(page);
    EindexA_->setObjectName(QStringLiteral("EindexA"));
    EindexA_->setGeometry(columnX, 24, 100, kEditHeight);
    indexCaption->setBuddy(EindexA_);

    // Each radio group with the register byte its choice is translated into beside it.
    const QString groupTitle = QStringLiteral("Selected Frame Byte");
    const int groupWidth = std::max(112, QFontMetrics(font()).horizontalAdvance(groupTitle) + 20);
    const int groupHeight = 114;
    const auto byteGroup = [&](const char* groupName, const QString& registerByte, int y) {
        auto* group = new RadioGroup(page, groupName, groupTitle, ByteChoices(), 2);
        group->setGeometry(columnX, y, groupWidth, groupHeight);
        group->setAccessibleDescription(QStringLiteral("Tanslate in ") + registerByte);
        const int besideX = columnX + groupWidth + 6, besideWidth = columnWidth - groupWidth - 6;
        Caption(page, QStringLiteral("Tanslate in"), besideX, y + 40, besideWidth);
        QLabel* target = Caption(page, registerByte, besideX, y + 56, besideWidth);
        target->setWordWrap(true);
        target->setFixedHeight(2 * kLabelHeight);
        return group;
    };
    PoscompMsbA_ = byteGroup("PoscompMsbA", QStringLiteral("High MODBUS Byte"), 54);
    PoscompLsbA_ = byteGroup("PoscompLsbA", QStringLiteral("Low MODBUS Byte"), 54 + groupHeight + 6);
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

    QPushButton* deleteButton = Button(page, "DELETEa", QStringLiteral("Delete"), QStyle::SP_TrashIcon, columnX, buttonsTop);
    QPushButton* newButton =
        Button(page, "NewA", QStringLiteral("New"), QStyle::SP_FileIcon, columnX, buttonsTop + kRegisterButtonHeight + 4);
    QPushButton* modifyButton = Button(page, "ModifyA", QStringLiteral("Modify"), QStyle::SP_BrowserReload, columnX,
                                       buttonsTop + 2 * (kRegisterButtonHeight + 4));
    QPushButton* copyButton = Button(page, "copyA", QStringLiteral("Copy"), QStyle::SP_FileDialogContentsView, columnX,
                                     buttonsTop + 3 * (kRegisterButtonHeight + 4));
    QPushButton* pasteButton = Button(page, "PasteA", QStringLiteral("Paste"), QStyle::SP_DialogApplyButton, columnX,
                                      buttonsTop + 4 * (kRegisterButtonHeight + 4));

    auto* panel = new QWidget(body);
    panel->setObjectName(QStringLiteral("PanelBColor1"));
    panel->setGeometry(0, shape.height - kPanelHeight, shape.width, kPanelHeight);
    const int panelButtonTop = (kPanelHeight - 23) / 2;
    bitbtn1_ = MakeFlatButton(panel, "bitbtn1", QStringLiteral("OK"), QStyle::SP_DialogOkButton);
    bitbtn1_->setGeometry(12, panelButtonTop, 69, 23);
    bitbtn1_->setDefault(true);
    QPushButton* cancel = MakeFlatButton(panel, "bitbtn2", QStringLiteral("Cancel"), QStyle::SP_DialogCancelButton);
    cancel->setGeometry(92, panelButtonTop, 69, 23);
    QPushButton* exportButton = MakeFlatButton(panel, "button1", QStringLiteral("Export"), QStyle::SP_DialogSaveButton);
    exportButton->setGeometry(shape.width - 2 * 89 - 24, panelButtonTop, 89, 23);
    QPushButton* importButton = MakeFlatButton(panel, "bitbtn4", QStringLiteral("Import"), QStyle::SP_DialogOpenButton);
    importButton->setGeometry(shape.width - 89 - 12, panelButtonTop, 89, 23);

    // The keyboard follows the work: a frame, its registers, the register's fields, then the
    // register buttons and the dialog's buttons. A radio group takes its place through its
    // items, of which only the chosen one is a Tab stop.
    QWidget* order[] = {LPdoCanA_,      LIndMbCanA_,  EindexA_,    PoscompMsbA_, PoscompLsbA_,
                        CB_Send_J1939_, deleteButton, newButton,   modifyButton, copyButton,
                        pasteButton,    bitbtn1_,     cancel,      exportButton, importButton};
    QWidget* previous = nullptr;
    const auto follow = [&](QWidget* widget) {
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    };
    for (QWidget* widget : order) {
        if (!widget) continue;
        if (auto* group = qobject_cast<RadioGroup*>(widget)) {
            for (QAbstractButton* item : group->items()) follow(item);
        } else {
            follow(widget);
        }
    }

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
        if (RunHandler(boxes_, this, [this] { BitBtn1Click(); })) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(importButton, &QPushButton::clicked, this, [this] { RunHandler(boxes_, this, [this] { BitBtn4Click(); }); });
    connect(exportButton, &QPushButton::clicked, this, [this] { RunHandler(boxes_, this, [this] { Button1Click(); }); });
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
    // Writing on request is offered only when the communication parameters allow it; the
    // choice itself stays from the previous showing.
    if (transmit()) CB_Send_J1939_->setEnabled(WriteOnRequestEnabled(ToPath(project_.pargenPath)));

    LPdoCanA_->clear();
    LIndMbCanA_->clear();
    EindexA_->clear();
    PoscompMsbA_->setItemIndex(0);
    PoscompLsbA_->setItemIndex(0);
    setWindowTitle(transmit() ? kTransmitCaption : kReceiveCaption);

    byteMap_.clear();
    shownMap_.clear();
    FrameListReport report(LPdoCanA_, boxes_, this);
    byteMap_ = ReadByteMap(ToPath(project_.folder), direction_, report);
    shownMap_ = byteMap_;
    bitbtn1_->setFocus();
}

void ByteMapEditor::reject()
{
    // A Modify that stored the same fields again changed nothing.
    if (isVisible() && byteMap_ != shownMap_ && !boxes_.question(this, kDiscardChanges)) return;
    QDialog::reject();
}

void ByteMapEditor::LPdoCanAClick()
{
    LIndMbCanA_->clear();
    EindexA_->clear();
    PoscompMsbA_->setItemIndex(0);
    PoscompLsbA_->setItemIndex(0);
    const int frame = LPdoCanA_->selectedRow();
    if (frame < 0 || frame >= static_cast<int>(byteMap_.size())) return;
    QStringList labels;
    const std::size_t count = byteMap_[static_cast<std::size_t>(frame)].registers.size();
    for (std::size_t k = 0; k < count; ++k) labels << QStringLiteral("Ind MB %1").arg(k);
    LIndMbCanA_->addItems(labels);
}

void ByteMapEditor::LIndMbCanAClick()
{
    const TClIndMB* entry = selectedRegister();
    if (!entry) return;
    EindexA_->setText(QString::fromStdString(entry->Index));
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
            boxes_.plain(this, kDuplicateIndex);
            return false;
        }
    return true;
}

void ByteMapEditor::NewAClick()
{
    TClPdo* frame = selectedFrame();
    if (!frame || !indexIsFree(nullptr)) return;

    TClIndMB entry;
    storeInto(entry);
    // The new label says "Mb"; a new selection of the frame numbers the labels as "MB".
    const int before = LIndMbCanA_->count();
    LIndMbCanA_->addItem(QStringLiteral("Ind Mb %1").arg(before));
    LIndMbCanA_->select(before);
    frame->registers.push_back(std::move(entry));
}

void ByteMapEditor::ModifyAClick()
{
    TClIndMB* entry = selectedRegister();
    if (!entry || !indexIsFree(entry)) return;
    storeInto(*entry);
}

void ByteMapEditor::DeleteAClick()
{
    if (!selectedRegister()) return;
    const int position = LIndMbCanA_->selectedRow();
    std::vector<TClIndMB>& registers = selectedFrame()->registers;
    registers.erase(registers.begin() + position);
    LIndMbCanA_->remove(position);
}

void ByteMapEditor::CopyAClick()
{
    buffer_.index = EindexA_->text().toStdString();
    buffer_.posComp = typedPosComp();
    if (transmit()) buffer_.write = writeChoice();
}

void ByteMapEditor::PasteAClick()
{
    EindexA_->setText(QString::fromStdString(buffer_.index));
    showPosComp(StrToInt(buffer_.posComp));
    if (transmit()) showWriteChoice(StrToInt(buffer_.write));
}

void ByteMapEditor::BitBtn1Click()
{
    WriteByteMap(ToPath(project_.folder), direction_, byteMap_);
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

    // The frames stay; the register list shows again when the user picks a frame.
    LIndMbCanA_->clear();
    EindexA_->clear();
    PoscompMsbA_->setItemIndex(0);
    PoscompLsbA_->setItemIndex(0);
    byteMap_ = std::move(imported);
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
