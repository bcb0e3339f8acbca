#pragma once

#include "documents/byte_map.h"
#include "documents/direction.h"
#include "editors/byte_map_lists.h"
#include "editors/radio_group.h"
#include "editors/table_import.h"

#include <QDialog>
#include <QSize>
#include <QString>

#include <string>

class QComboBox;
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
// the transmit frames, the "Write J1939 Frame" choice of each register.
class ByteMapEditor : public QDialog {
    Q_OBJECT
public:
    inline static const QString kReceiveCaption = QStringLiteral("Receive J1939 Frame Info");
    inline static const QString kTransmitCaption = QStringLiteral("Transmit J1939 Frame Info");
    inline static const QString kDuplicateIndex = QStringLiteral("Index or Subindex Not Valid");

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

    // The handlers. A text that is not an integer raises the integer conversion's error, which
    // the caller shows; what a handler changed before it stays.
    void FormShow();
    void LPdoCanAClick();
    void LIndMbCanAClick();
    void NewAClick();
    void ModifyAClick();
    void DeleteAClick();
    void CopyAClick();
    void PasteAClick();
    void BitBtn1Click();  // writes the byte map; throws when it could not
    // Import: every register entry replaced by the records of the editor's worksheet in the
    // workbook the user picks, and the register list and fields emptied. An import that cannot
    // be taken whole (the workbook or the worksheet cannot be read, a record's frame number
    // cannot be used, the byte map has no room) throws Error saying where and why, and leaves
    // the editor as it was.
    void BitBtn4Click();
    // Export: every register entry to "RInfoCob.csv" or "TInfoCob.csv" in the project folder,
    // then says where the file went. Throws when the file cannot be written.
    void Button1Click();

    // Cancel, Escape and the close box: when the byte map differs from what the showing read,
    // the user is asked first whether the changes go; No keeps the dialog open as it is.
    void reject() override;

protected:
    ByteMapEditor(Direction mode, const char* name, const ProjectState& project, MessageBoxes& boxes,
                  QWidget* parent);
    void showEvent(QShowEvent* event) override;

private:
    struct CopyBuffer {
        std::string index;
        std::string posComp;
        std::string write;  // transmit only
    };

    bool transmit() const { return direction_ == Direction::Transmit; }
    void connectHandler(QPushButton* button, void (ByteMapEditor::*handler)());
    std::string typedPosComp() const;
    std::string writeChoice() const;
    void showPosComp(std::int32_t value);
    void showWriteChoice(std::int32_t value);
    // The entries at the selected positions; null when nothing (or nothing valid) is selected.
    TClPdo* selectedFrame();
    TClIndMB* selectedRegister();
    // False, after the message, when a register other than the excluded one has the typed index.
    bool indexIsFree(const TClIndMB* excluded);
    void storeInto(TClIndMB& entry) const;

    const ProjectState& project_;
    MessageBoxes& boxes_;
    const Direction direction_;
    Direction editorMode_;
    ByteMap byteMap_;
    ByteMap shownMap_;  // the byte map as the showing read it
    CopyBuffer buffer_;
    TableImport import_;

    SelectionList* LIndMbCanA_;
    SelectionList* LPdoCanA_;
    QLineEdit* EindexA_;
    RadioGroup* PoscompMsbA_;
    RadioGroup* PoscompLsbA_;
    QComboBox* CB_Send_J1939_ = nullptr;
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
