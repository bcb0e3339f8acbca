// What the frame list editor tests share: a project folder with communication settings, the
// editor of one direction on it, the recording message boxes, and the user's ways to the cells.
#pragma once

#include "documents/frame_list_document.h"
#include "documents/pargen_document.h"
#include "editors/frame_list_editor.h"
#include "platform/platform.h"
#include "project/project_state.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

Q_DECLARE_METATYPE(trelvant::Direction)

namespace trelvant::test {

using Cells = QList<QStringList>;  // grid rows from row 1, texts of columns 1 and up

// A project folder, the recording message boxes and one editor of each kind on it. The folder
// holds the communication settings as the communication dialog writes them by default, so that
// the frames are J1939 frames as in any project set up for the device.
struct EditorFixture {
    TempFolder dir;
    RecordingMessageBoxes boxes;
    ProjectState project;
    std::unique_ptr<FrameListEditor> editor;

    explicit EditorFixture(Direction direction)
    {
        project.folder = FromPath(dir.path());
        BuildDocumentPaths(project);
        WriteText(dir / "pargen.xml", PargenXml(PargenValues{}));
        if (direction == Direction::Receive) editor = std::make_unique<TFpdoMB>(project, boxes);
        else editor = std::make_unique<TFTpdo2MB>(project, boxes);
        editor->setEditorMode(direction);
    }
    Direction direction() const { return editor->editorMode(); }
    std::filesystem::path document() const { return FrameListPath(dir.path(), direction()); }
    void writeDocument(const std::string& text) const { WriteText(document(), text); }
    std::string readDocument() const { return ReadText(document()); }
    bool documentExists() const { return std::filesystem::exists(document()); }

    QTableWidget* grid() const { return editor->sgA(); }
    QString cell(int row, int column) const
    {
        const QTableWidgetItem* item = grid()->item(row - 1, column);
        return item ? item->text() : QString();
    }
    // What typing into the cell leaves: the cell's item keeps its kind, so a Delete cell stays a
    // check box.
    void type(int row, int column, const QString& text) const
    {
        if (QTableWidgetItem* item = grid()->item(row - 1, column)) item->setText(text);
        else grid()->setItem(row - 1, column, new QTableWidgetItem(text));
    }
    void fill(const Cells& rows) const
    {
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c) type(r + 1, c + 1, rows[r][c]);
    }
    void press(const char* name) const
    {
        QTest::mouseClick(editor->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    void show() const
    {
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
    }
};

inline std::vector<FrameRow> ToRows(const Cells& cells)
{
    std::vector<FrameRow> rows;
    for (const QStringList& cellsOfRow : cells) {
        FrameRow row;
        for (const QString& text : cellsOfRow) row.push_back(text.toStdString());
        rows.push_back(row);
    }
    return rows;
}

}  // namespace trelvant::test
