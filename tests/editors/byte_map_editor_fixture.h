// What the byte map editor tests share: a project folder with the editor of one direction on
// it, the recording message boxes, and the user's ways to reach the controls.
#pragma once

#include "documents/byte_map_document.h"
#include "editors/byte_map_editor.h"
#include "platform/platform.h"
#include "project/project_state.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

Q_DECLARE_METATYPE(trelvant::Direction)

namespace trelvant::test {

using Boxes = std::vector<ShownBox>;

ShownBox Plain(const QString& text)
{
    return {ShownBox::Plain, text};
}
ShownBox Toolkit(const QString& text)
{
    return {ShownBox::Toolkit, text};
}
ShownBox NotAnInteger(const QString& text)
{
    return Toolkit(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
const ShownBox kDiscardQuestion{ShownBox::Question, kDiscardChanges};

QRadioButton* Item(RadioGroup* group, int index)
{
    return group->findChildren<QRadioButton*>().at(index);
}

// A project folder, the recording message boxes and the editor of one direction on it.
struct EditorFixture {
    test::TempFolder dir;
    test::RecordingMessageBoxes boxes;
    ProjectState project;
    std::unique_ptr<ByteMapEditor> editor;

    explicit EditorFixture(Direction direction)
    {
        project.folder = FromPath(dir.path());
        BuildDocumentPaths(project);
        if (direction == Direction::Receive) editor = std::make_unique<TFInfopdoMB>(project, boxes);
        else editor = std::make_unique<TFInfoTpdoMB>(project, boxes);
        editor->setEditorMode(direction);
    }
    Direction direction() const { return editor->editorMode(); }
    bool transmit() const { return direction() == Direction::Transmit; }

    // A frame list of frames with the PGNs 61441, 61442, ...
    void writeFrames(int count) const
    {
        std::string xml = "<COBID>";
        for (int f = 1; f <= count; ++f) {
            const std::string pgn = std::to_string(61440 + f);
            xml += transmit() ? "<row Priority=\"6\" DP=\"0\" PGN=\"" + pgn + "\" ID_DEV=\"" + std::to_string(f) +
                                    "\" Mnemonic=\"\"/>"
                              : "<row PGN=\"" + pgn + "\" ID_DEV=\"" + std::to_string(f) + "\" Delete=\"N\" Mnemonic=\"\"/>";
        }
        test::WriteText(dir / (transmit() ? "TCobDef.xml" : "RCobDef.xml"), xml + "</COBID>");
    }
    // Rows of (Index, NrPdo, PosComp[, Write_J1939]).
    void writeMap(const std::string& rows) const
    {
        const std::string root = transmit() ? "TInfoCob" : "RInfoCob";
        test::WriteText(ByteMapPath(dir.path(), direction()), "<" + root + ">" + rows + "</" + root + ">");
    }
    std::string map() const { return test::ReadText(ByteMapPath(dir.path(), direction())); }

    void show() const
    {
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
    }
    // For the keyboard: the editor shown and the active window.
    void showActive() const
    {
        show();
        editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(editor.get()));
    }
    // A key to the widget that has the focus, as the user presses it.
    static void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY2(focus, "nothing has the focus");
        QTest::keyClick(focus, key, modifiers);
    }

    SelectionList* frames() const { return editor->LPdoCanA(); }
    SelectionList* registers() const { return editor->LIndMbCanA(); }
    static void click(SelectionList* list, int row)
    {
        QVERIFY2(row < list->count(), "no such item");
        const QRect item = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    }
    void pickFrame(int row) const { click(frames(), row); }
    void pickRegister(int row) const { click(registers(), row); }
    QStringList labels() const
    {
        QStringList texts;
        for (int i = 0; i < registers()->count(); ++i) texts << registers()->item(i)->text();
        return texts;
    }
    // The register list's items as the accessibility layer gives them to a screen reader that
    // starts reading now. The offscreen platform has no bridge that would tell the layer of the
    // list's changes, so the list's interface is made afresh each time.
    QStringList spoken() const
    {
        QStringList texts;
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(registers());
        for (int i = 0; i < list->childCount(); ++i) texts << list->child(i)->text(QAccessible::Name);
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(list));
        return texts;
    }

    void press(const char* name) const
    {
        auto* button = editor->findChild<QPushButton*>(QString::fromLatin1(name));
        QVERIFY2(button, name);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // The index typed, the high and low byte choices (0 none, 1 to 8 B1 to B8) clicked.
    void enter(const QString& index, int high, int low) const
    {
        editor->EindexA()->setText(index);
        choose(editor->PoscompMsbA(), high);
        choose(editor->PoscompLsbA(), low);
    }
    static void choose(RadioGroup* group, int choice)
    {
        QTest::mouseClick(group->findChildren<QRadioButton*>()[choice], Qt::LeftButton);
    }
    QString index() const { return editor->EindexA()->text(); }
    QString status() const { return editor->statusLine()->text(); }
    QList<int> choices() const { return {editor->PoscompMsbA()->itemIndex(), editor->PoscompLsbA()->itemIndex()}; }
    std::vector<TClIndMB> entries(int frame) const { return editor->byteMap().at(frame).registers; }
};

}  // namespace trelvant::test
