#pragma once

#include "documents/direction.h"
#include "documents/frame_list_document.h"
#include "editors/table_import.h"

#include <QDialog>
#include <QString>

#include <vector>

class QPushButton;
class QTableWidget;

namespace trelvant {

class FileChooser;
class FindingsLine;
class FrameGrid;
class FrameGridFindings;
class MessageBoxes;
struct ProjectState;

// The frame list editor: a grid of 250 frames loaded from the frame list document at every
// showing, checked row by row on OK and then written whole. The editor mode (receive or
// transmit) picks the caption, the columns, the checks and the document. While the user works,
// the project check's findings of the list show at their cells and are counted under the grid.
class FrameListEditor : public QDialog {
    Q_OBJECT
public:
    inline static const QString kReceiveCaption = QStringLiteral("Receive J1939 Frame");
    inline static const QString kTransmitCaption = QStringLiteral("Transmit J1939 Frame");
    static constexpr int kDataRows = static_cast<int>(kMaxFrames);
    static constexpr int kDeleteColumn = 3;  // the receive editor's check box column

    ~FrameListEditor() override;

    // The main window stores the editor mode just before each showing.
    void setEditorMode(Direction mode) { editorMode_ = mode; }
    Direction editorMode() const { return editorMode_; }

    QTableWidget* sgA() const;
    FindingsLine* findingsLine() const { return findingsLine_; }  // the check's count under the grid
    // The texts of the data rows 1 to 250, columns 1 and up; empty cells give empty texts.
    std::vector<FrameRow> gridRows() const;

    // The file dialog of Import; the toolkit's own when none is set.
    void setFileChooser(FileChooser& files) { import_.setFileChooser(files); }

    void FormShow();
    // Row checks, then the question when rows after the list's end hold data, then the question
    // when the project check finds errors in the list, then the document written; false when a
    // check failed or the user kept the dialog open, and nothing was written.
    bool BitBtn1Click();
    // Import: the grid's data cells replaced by the "rpdodef" worksheet of the workbook the user
    // picks. Throws, with the grid as it was, when the workbook or the worksheet cannot be read.
    void BitBtn4Click();
    // Export: the list's first two columns to "rpdodef.csv" in the project folder, then says where
    // the file went. Throws when the file cannot be written.
    void Button1Click();

    // The rows of the current cell (or of the selected cells) removed, the rows below moving up;
    // Ctrl+Del and the grid's menu.
    void deleteRows();
    // An empty row put before the current one, the rows below moving down; refused while the
    // last row holds data. Ctrl+Ins and the grid's menu.
    void insertRow();
    // True when the grid differs from what the showing loaded.
    bool hasChanges() const;
    // F8 and Shift+F8: the next (1) or previous (-1) cell with findings, in row order and then
    // column, going round, becomes the current cell, with the keyboard in the grid.
    void goToFinding(int direction);

public slots:
    // Cancel, Escape and the close box: asks before dropping changes; No keeps the dialog open.
    void reject() override;

protected:
    FrameListEditor(Direction mode, const char* name, const ProjectState& project, MessageBoxes& boxes,
                    QWidget* parent);
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void configureFor(Direction mode);
    QSize clientSize() const;
    void setGridRows(const std::vector<FrameRow>& rows);
    void setCellText(int row, int column, const QString& text);

    const ProjectState& project_;
    MessageBoxes& boxes_;
    Direction editorMode_;
    Direction columnsFor_;
    QString documentPath_;
    std::vector<FrameRow> loadedRows_;

    TableImport import_;
    FrameGrid* sgA_;
    FindingsLine* findingsLine_;
    FrameGridFindings* findings_;
    QPushButton* bitbtn1_;
};

// The receive frame list editor, opened by "Receive J1939" on RCobDef.xml.
class TFpdoMB final : public FrameListEditor {
    Q_OBJECT
public:
    TFpdoMB(const ProjectState& project, MessageBoxes& boxes, QWidget* parent = nullptr);
};

// The transmit frame list editor, opened by "Transmit J1939" on TCobDef.xml.
class TFTpdo2MB final : public FrameListEditor {
    Q_OBJECT
public:
    TFTpdo2MB(const ProjectState& project, MessageBoxes& boxes, QWidget* parent = nullptr);
};

}  // namespace trelvant
