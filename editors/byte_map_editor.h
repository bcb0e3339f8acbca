#pragma once

#include "documents/byte_map.h"
#include "documents/direction.h"
#include "editors/byte_map_findings.h"
#include "editors/byte_map_lists.h"
#include "editors/radio_group.h"
#include "editors/table_import.h"

#include <QDialog>
#include <QSize>
#include <QString>

#include <memory>
#include <string>

class QComboBox;
class QEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace trelvant {

class FileChooser;
class MessageBoxes;
struct ProjectState;

// The byte map editor: the Modbus registers tied to the bytes of each frame of a frame list.
// Every showing reads the frame list and the byte map afresh; the registers are edited in memory
// and OK writes the whole byte map. The editor mode picks the documents, the caption and, for
// the transmit frames, the "Write J1939 Frame" choice of each register. The project check follows
// the work: its findings stand at the registers, frames and fields they concern (ByteMapFindings).
class ByteMapEditor : public QDialog {
    Q_OBJECT
public:
    inline static const QString kReceiveCaption = QStringLiteral("Receive J1939 Frame Info");
    inline static const QString kTransmitCaption = QStringLiteral("Transmit J1939 Frame Info");
    // The first line of the duplicate index message; the index and its frame follow.
    inline static const QString kDuplicateIndex = QStringLiteral("Index or Subindex Not Valid");
    inline static const QString kNothingToPaste = QStringLiteral("Nothing to paste: Copy a register first.");

    // The main window stores the editor mode just before each showing.
    void setEditorMode(Direction mode) { editorMode_ = mode; }
    Direction editorMode() const { return editorMode_; }

    const ByteMap& byteMap() const { return byteMap_; }

    // The file dialog of Import; the toolkit's own when none is set.
    void setFileChooser(FileChooser& files) { import_.setFileChooser(files); }

    SelectionList* LIndMbCanA() const { return LIndMbCanA_; }
    SelectionList* LPdoCanA() const { return LPdoCanA_; }
    QLineEdit* EindexA() const { return EindexA_; }
    RadioGroup* PoscompMsbA() const { return PoscompMsbA_; }
    RadioGroup* PoscompLsbA() const { return PoscompLsbA_; }
    QComboBox* CB_Send_J1939() const { return CB_Send_J1939_; }  // null in the receive editor
    QLabel* statusLine() const { return statusLine_; }             // what Copy and Paste did
    FindingsLine* findingsLine() const { return findingsLine_; }   // the check's count under the lists
    // The project check's findings of the byte map as it stands in memory.
    const std::vector<Finding>& findings() const { return findings_->findings(); }

    // The handlers. A text that is not an integer raises the integer conversion's error, which
    // the caller shows; what a handler changed before it stays. The fields beside the lists show
    // the selected register; with none selected, an empty index, "none" twice and "False".
    void FormShow();
    void LPdoCanAClick();
    void LIndMbCanAClick();
    void NewAClick();
    void ModifyAClick();
    void DeleteAClick();
    // Copy and Paste say in the status line what they copied and pasted; Paste before any Copy
    // says there is nothing to paste and changes nothing.
    void CopyAClick();
    void PasteAClick();
    // Return or Enter in "Index MODBUS": Modify when the selected register has the typed index
    // (compared as integers), else New; without a frame to add to, the status line says so.
    void EindexAReturn();
    // Writes the byte map; false, with nothing written, when the user keeps the dialog: asked
    // first whether an index typed and never stored with New or Modify may be lost, then, when
    // the byte map has errors, whether to save it anyway. Throws, before asking about errors,
    // when an Index is not an integer, and when it could not write.
    bool BitBtn1Click();
    // Import: every register entry replaced by the records of the editor's worksheet in the
    // workbook the user picks; the selected frame's register list shows them, none selected.
    // A map that holds registers is replaced only when the user agrees. An import that cannot
    // be taken whole (the workbook or the worksheet cannot be read, a record's frame number
    // cannot be used, the byte map has no room) throws Error saying where and why, and leaves
    // the editor as it was. A taken import ends with a summary: registers imported, rows skipped.
    void BitBtn4Click();
    // Export: every register entry to "RInfoCob.csv" or "TInfoCob.csv" in the project folder,
    // then says where the file went. Throws when the file cannot be written.
    void Button1Click();

    // F8 and Shift+F8: the frame and the register of the next and the previous row with
    // findings, in document row order, going round; the register list takes the focus.
    void goToFinding(int direction);

    // Cancel, Escape and the close box: when the byte map differs from what the showing read,
    // the user is asked first whether the changes go; No keeps the dialog open as it is.
    void reject() override;

protected:
    ByteMapEditor(Direction mode, const char* name, const ProjectState& project, MessageBoxes& boxes,
                  QWidget* parent);
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct CopyBuffer {
        std::string index;
        std::string posComp;
        std::string write;  // transmit only
        bool filled = false;  // a Copy was made
    };

    bool transmit() const { return direction_ == Direction::Transmit; }
    void connectHandler(QPushButton* button, void (ByteMapEditor::*handler)());
    std::string typedPosComp() const;
    std::string writeChoice() const;
    void showPosComp(std::int32_t value);
    void showWriteChoice(std::int32_t value);
    // The fields of no register: empty index, "none" in both groups, "False".
    void showNoRegister();
    // The selected frame's registers in the register list, none selected.
    void listRegisters();
    void relabel(int position);
    // "index 100, high B5, low B4" for the status line.
    QString describeFields() const;
    // An index typed since the last New, Modify or selection that no register holds.
    bool indexNotStored();
    // The entries at the selected positions; null when nothing (or nothing valid) is selected.
    TClPdo* selectedFrame();
    TClIndMB* selectedRegister();
    // False, after the message, when a register other than the excluded one has the typed index.
    bool indexIsFree(const TClIndMB* excluded);
    std::size_t registerCount() const;
    void storeInto(TClIndMB& entry) const;
    // A field changed by the user: its findings follow. The fields set by the program are
    // followed once, after all of them, by showFieldFindings().
    void fieldChanged();
    // The fields' marks: the selected register's findings while the fields show it unchanged;
    // else the findings of what the fields hold, as Modify of the selected register (same index)
    // or New in the selected frame would store it.
    void showFieldFindings();
    // The byte map changed: checked again, the lists and the fields follow.
    void mapChanged();

    const ProjectState& project_;
    MessageBoxes& boxes_;
    const Direction direction_;
    Direction editorMode_;
    ByteMap byteMap_;
    ByteMap shownMap_;  // the byte map as the showing read it
    CopyBuffer buffer_;
    TableImport import_;
    bool indexEdited_ = false;  // the index field changed since the last New, Modify or selection
    bool fieldsEdited_ = false;  // a field changed by the user since the register was shown
    bool showingFields_ = false;  // the program is setting the fields
    std::unique_ptr<ByteMapFindings> findings_;

    SelectionList* LIndMbCanA_;
    SelectionList* LPdoCanA_;
    QLineEdit* EindexA_;
    RadioGroup* PoscompMsbA_;
    RadioGroup* PoscompLsbA_;
    QComboBox* CB_Send_J1939_ = nullptr;
    QLabel* statusLine_;
    FindingsLine* findingsLine_;
    QPushButton* bitbtn1_;
    QSize clientSize_;
};

// The receive byte map editor, opened by the receive "Define J1939" on RInfoCob.xml.
class TFInfopdoMB final : public ByteMapEditor {
    Q_OBJECT
public:
    TFInfopdoMB(const ProjectState& project, MessageBoxes& boxes, QWidget* parent = nullptr);
};

// The transmit byte map editor, opened by the transmit "Define J1939" on TInfoCob.xml.
class TFInfoTpdoMB final : public ByteMapEditor {
    Q_OBJECT
public:
    TFInfoTpdoMB(const ProjectState& project, MessageBoxes& boxes, QWidget* parent = nullptr);
};

}  // namespace trelvant
