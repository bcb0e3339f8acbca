#pragma once

#include "documents/byte_map.h"
#include "documents/direction.h"
#include "editors/table_import.h"

#include <QDialog>
#include <QGroupBox>
#include <QListWidget>
#include <QString>

#include <string>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace trelvant {

class FileChooser;
class MessageBoxes;
struct ProjectState;

// A list box whose chosen() tells that the user picked an item: a click (on the item already
// selected too), a drag over the items or a move of the selection by keyboard. Selections the
// program makes through select() stay silent.
class SelectionList final : public QListWidget {
    Q_OBJECT
public:
    explicit SelectionList(QWidget* parent);

    // The selected position, -1 when nothing is selected.
    int selectedRow() const;
    void select(int row);
    // Removes the item; afterwards nothing is selected.
    void remove(int row);

signals:
    void chosen();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool silent_ = false;
};

// A group of radio buttons of which exactly one is chosen; the chosen item's position is the
// group's value. A value past the last item chooses the last item.
class RadioGroup final : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(QWidget* parent, const char* name, const QString& title, const QStringList& items, int columns);

    int itemIndex() const;
    void setItemIndex(int index);

private:
    QButtonGroup* buttons_;
};

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
    // Import: the register list and fields emptied, then every register entry replaced by the
    // records of the editor's worksheet in the workbook the user picks. Nothing is said when the
    // workbook, the worksheet or a frame number cannot be read; what was done before stays.
    void BitBtn4Click();
    // Export: every register entry to "RInfoCob.csv" or "TInfoCob.csv" in the project folder.
    // Throws when the file cannot be written.
    void Button1Click();

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
    CopyBuffer buffer_;
    TableImport import_;

    SelectionList* LIndMbCanA_;
    SelectionList* LPdoCanA_;
    QLineEdit* EindexA_;
    RadioGroup* PoscompMsbA_;
    RadioGroup* PoscompLsbA_;
    QComboBox* CB_Send_J1939_ = nullptr;
    QPushButton* bitbtn1_;
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
