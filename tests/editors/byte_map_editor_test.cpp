#include "documents/byte_map_document.h"
#include "editors/byte_map_editor.h"
#include "platform/platform.h"
#include "shell/main_window.h"
#include "project/project_state.h"
#include "tests/editors/byte_map_editor_fixture.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace trelvant;
using namespace trelvant::test;

namespace {

// The runs of dark columns (text) of a widget's picture, as [first, last] x in the coordinates
// of the widget `in`; `place` is where the picture's top left corner stands there. Columns closer
// than a few pixels belong to one run: the letters of a word, not the gaps between columns.
QList<QPair<int, int>> DarkRuns(const QPixmap& picture, QPoint place)
{
    const QImage image = picture.toImage();
    const qreal ratio = image.devicePixelRatio();
    QList<QPair<int, int>> runs;
    for (int x = 0; x < image.width(); ++x) {
        bool dark = false;
        for (int y = 0; y < image.height() && !dark; ++y) dark = qGray(image.pixel(x, y)) < 128;
        if (!dark) continue;
        const int at = place.x() + qFloor(x / ratio);
        if (!runs.isEmpty() && at - runs.last().second <= 4) runs.last().second = at;
        else runs.append({at, at});
    }
    return runs;
}

}  // namespace

class ByteMapEditorTest : public QObject {
    Q_OBJECT

private slots:
    void windowAndControls_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("heading");
        QTest::newRow("receive") << Direction::Receive << "TFInfopdoMB" << "Receive J1939 Frame Info" << QSize(493, 545)
                                 << "PGN                ID_DEV";
        QTest::newRow("transmit") << Direction::Transmit << "TFInfoTpdoMB" << "Transmit J1939 Frame Info"
                                  << QSize(563, 596) << "PRIOR       DP           PGN        ID_DEV";
    }
    void windowAndControls()
    {
        QFETCH(Direction, direction);
        EditorFixture f(direction);
        f.show();
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        QCOMPARE(f.editor->objectName(), name);
        QCOMPARE(f.editor->windowTitle(), caption);
        QCOMPARE(f.editor->size(), size);
        QCOMPARE(f.editor->minimumSize(), size);
        QCOMPARE(f.editor->maximumSize(), size);
        // The screen holds the dialog whole: its body fills it above the button bar without scroll bars.
        auto* scroll = f.editor->findChild<QScrollArea*>("ScrollingBody");
        QVERIFY(scroll);
        QCOMPARE(scroll->viewport()->size(), size - QSize(0, 41));
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        QVERIFY(!scroll->verticalScrollBar()->isVisible());
        auto* notebook = f.editor->findChild<QTabWidget*>();
        QCOMPARE(notebook->count(), 1);
        QCOMPARE(notebook->tabText(0), QString("Can0-ModBus"));

        // Each list and edit box is reached through the caption the user sees.
        const auto buddyOf = [&](const QString& text) -> QWidget* {
            for (QLabel* label : f.editor->findChildren<QLabel*>())
                if (label->text() == text) return label->buddy();
            return nullptr;
        };
        QCOMPARE(buddyOf("MODBUS"), f.registers());
        QCOMPARE(buddyOf("Correlated"), f.frames());
        QCOMPARE(buddyOf("Index MODBUS"), f.editor->EindexA());
        QCOMPARE(f.registers()->accessibleName(), QString("MODBUS"));
        QCOMPARE(f.frames()->accessibleName(), QString("Correlated"));
        QFETCH(QString, heading);
        QCOMPARE(f.editor->findChild<QLabel*>("FrameHeading")->text(), heading);
        for (const QString text : {"Translate in", "High MODBUS Byte", "Low MODBUS Byte"})
            QVERIFY2(std::ranges::any_of(f.editor->findChildren<QLabel*>(), [&](QLabel* l) { return l->text() == text; }),
                     qPrintable(text));
        for (QLabel* label : f.editor->findChildren<QLabel*>()) QVERIFY(!label->text().contains("Tanslate"));
        // The accessibility layer names each byte group after the register byte it chooses.
        QCOMPARE(f.editor->PoscompMsbA()->accessibleName(), QString("High byte"));
        QCOMPARE(f.editor->PoscompLsbA()->accessibleName(), QString("Low byte"));
        QCOMPARE(QAccessible::queryAccessibleInterface(f.editor->PoscompLsbA())->text(QAccessible::Name),
                 QString("Low byte"));
        QCOMPARE(f.editor->PoscompMsbA()->accessibleDescription(), QString("Translate in High MODBUS Byte"));

        // Register list, frame list, then the column of fields and buttons, from left to right.
        QVERIFY(f.registers()->geometry().right() < f.frames()->x());
        QVERIFY(f.frames()->geometry().right() < f.editor->EindexA()->x());
        for (RadioGroup* group : {f.editor->PoscompMsbA(), f.editor->PoscompLsbA()}) {
            QCOMPARE(group->title(), QString("Selected Frame Byte"));
            QStringList items;
            for (QRadioButton* button : group->findChildren<QRadioButton*>()) items << button->text();
            QCOMPARE(items, (QStringList{"none", "B1", "B2", "B3", "B4", "B5", "B6", "B7", "B8"}));
            QCOMPARE(group->itemIndex(), 0);
            QCOMPARE(group->x(), f.editor->EindexA()->x());
        }
        const QStringList buttons{"DELETEa:Delete", "NewA:New",     "ModifyA:Modify", "copyA:Copy",     "PasteA:Paste",
                                  "bitbtn1:&OK",    "bitbtn2:&Cancel", "button1:Export", "bitbtn4:Import"};
        for (const QString& b : buttons) {
            auto* button = f.editor->findChild<QPushButton*>(b.section(':', 0, 0));
            QVERIFY2(button, qPrintable(b));
            QCOMPARE(button->text(), b.section(':', 1));
            QVERIFY(f.editor->rect().contains(button->mapTo(f.editor.get(), button->rect().bottomRight())));
        }
        QCOMPARE(f.editor->findChild<QPushButton*>("DELETEa")->x(), f.editor->EindexA()->x());

        if (f.transmit()) {
            QComboBox* send = f.editor->CB_Send_J1939();
            QCOMPARE(send->objectName(), QString("CB_Send_J1939"));
            QCOMPARE(send->count(), 2);
            QCOMPARE(send->itemText(0), QString("False"));
            QCOMPARE(send->itemText(1), QString("True"));
            QCOMPARE(send->currentIndex(), 0);
            QCOMPARE(send->accessibleName(), QString("Write J1939 Frame"));
            QVERIFY(send->y() + send->parentWidget()->y() > f.editor->PoscompLsbA()->geometry().bottom());
        } else {
            QVERIFY(!f.editor->CB_Send_J1939());
            QVERIFY(!f.editor->findChild<QComboBox*>());
        }
        QCOMPARE(f.editor->focusWidget(), f.editor->findChild<QPushButton*>("bitbtn1"));
    }

    void showingListsTheFramesAndResetsTheControls_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QString>("line");
        QTest::newRow("receive") << Direction::Receive << "61442\t2";
        QTest::newRow("transmit") << Direction::Transmit << "6\t0\t61442\t2";
    }
    void showingListsTheFramesAndResetsTheControls()
    {
        QFETCH(Direction, direction);
        QFETCH(QString, line);
        EditorFixture f(direction);
        f.writeFrames(3);
        f.writeMap(f.transmit() ? R"(<row Index="7" NrPdo="2" PosComp="18" Write_J1939="1"/>)"
                                : R"(<row Index="7" NrPdo="2" PosComp="18"/>)");
        f.show();
        QCOMPARE(f.frames()->count(), 3);
        QCOMPARE(f.frames()->item(1)->text(), line);
        QCOMPARE(f.frames()->selectedRow(), -1);
        QCOMPARE(f.registers()->count(), 0);

        f.pickFrame(1);
        QCOMPARE(f.labels(), QStringList{"7  B1 B2"});
        f.pickRegister(0);
        QCOMPARE(f.index(), QString("7"));
        QCOMPARE(f.choices(), (QList<int>{1, 2}));

        // Cancel, once the user lets the edits go, drops them; the next showing starts from the
        // documents with nothing picked.
        f.press("DELETEa");
        QCOMPARE(f.entries(1).size(), 0u);
        f.boxes.answer = true;
        f.press("bitbtn2");
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.editor->result(), int(QDialog::Rejected));
        f.show();
        QCOMPARE(f.frames()->selectedRow(), -1);
        QCOMPARE(f.registers()->count(), 0);
        QCOMPARE(f.index(), QString());
        QCOMPARE(f.choices(), (QList<int>{0, 0}));
        QCOMPARE(f.entries(1).size(), 1u);
        QCOMPARE(f.boxes.shown, Boxes{kDiscardQuestion});
    }

    void readingFailuresAreToldAndWhatWasReadStays()
    {
        EditorFixture f(Direction::Receive);
        // The third frame lacks ID_DEV; the second row names frame 0.
        test::WriteText(f.dir / "RCobDef.xml", R"(<COBID><row PGN="1" ID_DEV="1"/><row PGN="2" ID_DEV="2"/><row PGN="3"/></COBID>)");
        f.writeMap(R"(<row Index="4" NrPdo="2" PosComp="1"/><row Index="5" NrPdo="0" PosComp="1"/><row Index="6" NrPdo="1" PosComp="1"/>)");
        f.show();
        QCOMPARE(f.boxes.shown, (Boxes{Plain("Error in reading file PDO XML"), Plain("Error in reading file SDOPDO XML")}));
        QCOMPARE(f.frames()->count(), 2);
        f.pickFrame(1);
        QCOMPARE(f.labels(), QStringList{"4  - B1"});
        f.pickFrame(0);
        QCOMPARE(f.labels(), QStringList{});
    }

    // Each item names its register: the index as typed and its high and low byte, "-" for none;
    // the screen reader reads the same. The items stand in the order of the register entries.
    void labelsShowEachRegistersIndexAndBytes()
    {
        EditorFixture f(Direction::Receive);
        f.writeFrames(1);
        f.writeMap(R"(<row Index="100" NrPdo="1" PosComp="0x54"/><row Index="0x20" NrPdo="1" PosComp="8"/>)"
                   R"(<row Index="300" NrPdo="1" PosComp="0"/>)");
        f.show();
        f.pickFrame(0);
        QCOMPARE(f.labels(), (QStringList{"100  B5 B4", "0x20  - B8", "300  - -"}));

        f.enter("4", 0, 4);
        f.press("NewA");
        QCOMPARE(f.labels(), (QStringList{"100  B5 B4", "0x20  - B8", "300  - -", "4  - B4"}));
        QCOMPARE(f.registers()->selectedRow(), 3);
        QCOMPARE(f.index(), QString("4"));  // the fields keep what was typed
        QCOMPARE(f.spoken(), f.labels());

        // Modify names the register anew; its place stays.
        f.pickRegister(1);
        f.enter("2", 2, 1);
        f.press("ModifyA");
        QCOMPARE(f.labels(), (QStringList{"100  B5 B4", "2  B2 B1", "300  - -", "4  - B4"}));
        QCOMPARE(f.spoken(), f.labels());

        // Delete leaves the others as they were, and no register shown.
        f.press("DELETEa");
        QCOMPARE(f.labels(), (QStringList{"100  B5 B4", "300  - -", "4  - B4"}));
        QCOMPARE(f.registers()->selectedRow(), -1);
        QCOMPARE(f.index(), QString());
        QCOMPARE(f.choices(), (QList<int>{0, 0}));
        f.pickRegister(1);
        QCOMPARE(f.index(), QString("300"));
        f.enter("9", 1, 1);
        f.press("NewA");
        QCOMPARE(f.labels().last(), QString("9  B1 B1"));
        // Picking the frame again lists the same items.
        const QStringList before = f.labels();
        f.pickFrame(0);
        QCOMPARE(f.labels(), before);
        QCOMPARE(f.spoken(), before);
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    void byteChoicesArePackedAndShown()
    {
        EditorFixture f(Direction::Receive);
        f.writeFrames(1);
        f.writeMap(R"(<row Index="1" NrPdo="1" PosComp="255"/><row Index="2" NrPdo="1" PosComp="0x80"/>)");
        f.show();
        f.pickFrame(0);
        f.pickRegister(0);
        QCOMPARE(f.choices(), (QList<int>{8, 8}));  // 15 and 15, past the last item
        f.pickRegister(1);
        QCOMPARE(f.choices(), (QList<int>{8, 0}));

        f.enter("3", 2, 1);
        f.press("NewA");
        QCOMPARE(f.entries(0).back().PosComp, std::string("33"));
        f.enter("", 0, 0);
        f.pickRegister(2);
        QCOMPARE(f.choices(), (QList<int>{2, 1}));
        f.enter("3", 0, 8);
        f.press("ModifyA");
        QCOMPARE(f.entries(0).back(), (TClIndMB{"3", "8", ""}));
        QCOMPARE(f.labels().last(), QString("3  - B8"));
    }

    // A refusal keeps "Index or Subindex Not Valid" as its first line and names the index and the
    // frame that holds it (by its number and PGN), with the index as stored there when typed otherwise.
    void anIndexIsUsedOnceInTheWholeMap_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("frame");
        QTest::addColumn<int>("position");  // -1: New, else Modify of that register
        QTest::addColumn<QString>("holder");  // after the first line; empty: accepted
        QTest::newRow("New of an index of another frame")
            << "5" << 0 << -1 << "Index 5 is already used by frame 2 (PGN 61442)";
        QTest::newRow("New of 010 where 10 is")
            << "010" << 0 << -1 << "Index 010 is already used by frame 1 (PGN 61441), written there as 10";
        QTest::newRow("New of 0x0A where 10 is")
            << "0x0A" << 1 << -1 << "Index 0x0A is already used by frame 1 (PGN 61441), written there as 10";
        QTest::newRow("New of a free index") << "6" << 0 << -1 << "";
        QTest::newRow("Modify keeping its own index") << "5" << 1 << 0 << "";
        QTest::newRow("Modify onto another register's index")
            << "10" << 1 << 0 << "Index 10 is already used by frame 1 (PGN 61441)";
        QTest::newRow("New above the ordering bound") << "10066330" << 0 << -1 << "";
    }
    void anIndexIsUsedOnceInTheWholeMap()
    {
        QFETCH(QString, typed);
        QFETCH(int, frame);
        QFETCH(int, position);
        QFETCH(QString, holder);
        EditorFixture f(Direction::Receive);
        f.writeFrames(2);
        f.writeMap(R"(<row Index="5" NrPdo="2" PosComp="1"/><row Index="10" NrPdo="1" PosComp="2"/>)");
        f.show();
        f.pickFrame(frame);
        if (position >= 0) f.pickRegister(position);
        const ByteMap before = f.editor->byteMap();
        f.enter(typed, 1, 1);
        f.press(position < 0 ? "NewA" : "ModifyA");
        if (!holder.isEmpty()) {
            QCOMPARE(f.boxes.shown, Boxes{Plain("Index or Subindex Not Valid\n\n" + holder)});
            QCOMPARE(f.editor->byteMap(), before);
            QCOMPARE(f.registers()->count(), static_cast<int>(before[frame].registers.size()));
        } else {
            QCOMPARE(f.boxes.shown, Boxes{});
            const TClIndMB stored = position < 0 ? f.entries(frame).back() : f.entries(frame).at(position);
            QCOMPARE(stored, (TClIndMB{typed.toStdString(), "17", ""}));
        }
    }

    void textsThatAreNotIntegers()
    {
        EditorFixture f(Direction::Receive);
        f.writeFrames(1);
        f.show();
        f.pickFrame(0);
        // With no register in the map nothing is compared: any text goes in.
        f.enter("abc", 1, 2);
        f.press("NewA");
        QCOMPARE(f.boxes.shown, Boxes{});
        QCOMPARE(f.entries(0), (std::vector<TClIndMB>{{"abc", "18", ""}}));
        QCOMPARE(f.labels(), QStringList{"abc  B1 B2"});

        f.press("bitbtn1");
        QCOMPARE(f.boxes.shown, Boxes{NotAnInteger("abc")});
        QVERIFY(f.editor->isVisible());
        QVERIFY(!std::filesystem::exists(ByteMapPath(f.dir.path(), Direction::Receive)));

        // Its own text is converted first, so Modify cannot mend it; New of a number neither.
        f.editor->EindexA()->setText("7");
        f.press("ModifyA");
        f.press("NewA");
        QCOMPARE(f.boxes.shown, (Boxes{NotAnInteger("abc"), NotAnInteger("abc"), NotAnInteger("abc")}));
        QCOMPARE(f.entries(0).size(), 1u);
        f.press("DELETEa");
        f.press("bitbtn1");
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.editor->result(), int(QDialog::Accepted));
        QCOMPARE(f.map(), ByteMapXml(Direction::Receive, f.editor->byteMap()));

        // A stored PosComp that is not an integer: the index is shown, the byte choices stay.
        f.boxes.shown.clear();
        f.writeMap(R"(<row Index="12" NrPdo="1" PosComp="x"/>)");
        f.show();
        f.pickFrame(0);
        f.enter("", 3, 4);
        f.pickRegister(0);
        QCOMPARE(f.boxes.shown, Boxes{NotAnInteger("x")});
        QCOMPARE(f.labels(), QStringList{"12  ? ?"});
        QCOMPARE(f.index(), QString("12"));
        QCOMPARE(f.choices(), (QList<int>{3, 4}));
    }

    // Copy and Paste say in the status line what they took; Paste before any Copy says there is
    // nothing to paste and leaves the fields.
    void copyAndPaste()
    {
        EditorFixture f(Direction::Transmit);
        f.writeFrames(1);
        f.show();
        f.enter("44", 5, 6);
        f.press("PasteA");
        QCOMPARE(f.boxes.shown, Boxes{});
        QCOMPARE(f.status(), QString("Nothing to paste: Copy a register first."));
        QCOMPARE(f.index(), QString("44"));
        QCOMPARE(f.choices(), (QList<int>{5, 6}));

        f.enter("0x20", 7, 3);
        f.editor->CB_Send_J1939()->setCurrentIndex(1);
        f.press("copyA");
        QCOMPARE(f.status(), QString("Copied: index 0x20, high B7, low B3, write True"));
        // The buffer outlives the showing; the status line starts empty.
        f.press("bitbtn2");
        f.show();
        QCOMPARE(f.status(), QString());
        f.enter("", 0, 0);
        f.editor->CB_Send_J1939()->setCurrentIndex(0);
        f.press("PasteA");
        QCOMPARE(f.index(), QString("0x20"));
        QCOMPARE(f.choices(), (QList<int>{7, 3}));
        QCOMPARE(f.editor->CB_Send_J1939()->currentIndex(), 1);
        QCOMPARE(f.status(), QString("Pasted: index 0x20, high B7, low B3, write True; New or Modify stores it"));
        // A frame picked shows no register: the pasted fields go until the next Paste.
        f.pickFrame(0);
        QCOMPARE(f.index(), QString());
        QCOMPARE(f.editor->CB_Send_J1939()->currentIndex(), 0);
        f.press("PasteA");
        f.press("NewA");
        QCOMPARE(f.entries(0), (std::vector<TClIndMB>{{"0x20", "115", "1"}}));
        QCOMPARE(f.labels(), QStringList{"0x20  B7 B3"});
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    void operationsNeedTheirSelection()
    {
        EditorFixture f(Direction::Receive);
        f.writeFrames(2);
        f.writeMap(R"(<row Index="1" NrPdo="1" PosComp="1"/>)");
        f.show();
        const ByteMap before = f.editor->byteMap();
        f.enter("2", 1, 1);
        f.press("NewA");  // no frame
        f.pickFrame(0);
        f.press("ModifyA");  // no register
        f.press("DELETEa");
        QCOMPARE(f.editor->byteMap(), before);
        QCOMPARE(f.labels(), QStringList{"1  - B1"});
        f.pickRegister(0);
        f.press("DELETEa");
        f.press("DELETEa");  // nothing selected any more
        f.press("ModifyA");
        QCOMPARE(f.entries(0).size(), 0u);
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    void writeChoiceFollowsTheCommunicationParameters_data()
    {
        QTest::addColumn<QString>("pargen");  // empty: no document
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no document") << "" << false;
        QTest::newRow("0") << "<GeneralParameter><Write_J1939>0</Write_J1939></GeneralParameter>" << false;
        QTest::newRow("1") << "<GeneralParameter><Write_J1939>1</Write_J1939></GeneralParameter>" << true;
        QTest::newRow("256, low byte 0") << "<GeneralParameter><Write_J1939>256</Write_J1939></GeneralParameter>" << false;
        QTest::newRow("not a number") << "<GeneralParameter><Write_J1939>yes</Write_J1939></GeneralParameter>" << false;
        QTest::newRow("no element") << "<GeneralParameter/>" << false;
    }
    void writeChoiceFollowsTheCommunicationParameters()
    {
        QFETCH(QString, pargen);
        QFETCH(bool, enabled);
        EditorFixture f(Direction::Transmit);
        f.writeFrames(1);
        f.writeMap(R"(<row Index="1" NrPdo="1" PosComp="1" Write_J1939="1"/>)");
        if (!pargen.isEmpty()) test::WriteText(f.dir / "Pargen.xml", pargen.toStdString());
        f.show();
        QCOMPARE(f.editor->CB_Send_J1939()->isEnabled(), enabled);
        QCOMPARE(f.boxes.shown, Boxes{});

        // A disabled drop-down still gives its choice: "0", or what a register selection set.
        f.pickFrame(0);
        f.enter("2", 0, 1);
        f.press("NewA");
        QCOMPARE(f.entries(0).back().Write_J1939, std::string("0"));
        f.pickRegister(0);
        QCOMPARE(f.editor->CB_Send_J1939()->currentIndex(), 1);
        f.enter("3", 0, 1);
        f.press("NewA");
        QCOMPARE(f.entries(0).back().Write_J1939, std::string("1"));
    }

    void okWritesTheMapInIndexOrder()
    {
        EditorFixture f(Direction::Transmit);
        f.writeFrames(2);
        f.writeMap(R"(<row Index="7" NrPdo="2" PosComp="18"/>)");  // no Write_J1939: read as "0"
        f.show();
        f.pickFrame(0);
        f.enter("10", 2, 1);
        f.press("NewA");
        f.editor->CB_Send_J1939()->setCurrentIndex(1);
        f.enter("$3", 0, 8);
        f.press("NewA");
        f.press("bitbtn1");
        QCOMPARE(f.boxes.shown, Boxes{});
        QCOMPARE(f.editor->result(), int(QDialog::Accepted));
        QCOMPARE(f.map(), "<TInfoCob>"
                          "<row Index=\"$3\" NrPdo=\"1\" PosComp=\"8\" Write_J1939=\"1\"/>"
                          "<row Index=\"7\" NrPdo=\"2\" PosComp=\"18\" Write_J1939=\"0\"/>"
                          "<row Index=\"10\" NrPdo=\"1\" PosComp=\"33\" Write_J1939=\"0\"/>"
                          "</TInfoCob>");
    }

    void aFailingWriteKeepsTheDialogOpen()
    {
        EditorFixture f(Direction::Receive);
        f.writeFrames(1);
        f.show();
        f.pickFrame(0);
        f.enter("1", 0, 1);
        f.press("NewA");
        std::filesystem::remove_all(f.dir.path());  // the project folder is gone
        f.press("bitbtn1");
        QCOMPARE(f.boxes.shown.size(), 1u);
        QCOMPARE(f.boxes.shown[0].kind, ShownBox::Toolkit);
        QVERIFY(f.editor->isVisible());
        QCOMPARE(f.labels(), QStringList{"1  - B1"});
    }

    void aRestoreFromTheTaskBarIsNotANewShowing()
    {
        EditorFixture f(Direction::Receive);
        f.writeFrames(1);
        f.show();
        f.pickFrame(0);
        f.enter("5", 1, 2);
        f.press("NewA");
        QVERIFY(test::MinimiseAndRestore(f.editor.get()));
        QCOMPARE(f.labels(), QStringList{"5  B1 B2"});
        QCOMPARE(f.entries(0).size(), 1u);
    }

    void theListsWorkByKeyboard()
    {
        EditorFixture f(Direction::Receive);
        f.writeFrames(3);
        f.writeMap(R"(<row Index="21" NrPdo="2" PosComp="33"/><row Index="22" NrPdo="2" PosComp="4"/>)");
        f.show();
        // From OK, the keyboard goes through the frames first.
        f.frames()->setFocus(Qt::TabFocusReason);
        QCOMPARE(f.frames()->selectedRow(), -1);
        QTest::keyClick(f.frames(), Qt::Key_Down);
        QCOMPARE(f.frames()->selectedRow(), 0);
        QCOMPARE(f.labels(), QStringList{});
        QTest::keyClick(f.frames(), Qt::Key_Down);
        QCOMPARE(f.labels(), (QStringList{"21  B2 B1", "22  - B4"}));

        QTest::keyClick(f.frames(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.registers());
        QTest::keyClick(f.registers(), Qt::Key_Down);
        QCOMPARE(f.index(), QString("21"));
        QCOMPARE(f.choices(), (QList<int>{2, 1}));
        QTest::keyClick(f.registers(), Qt::Key_Down);
        QCOMPARE(f.index(), QString("22"));
        QCOMPARE(f.choices(), (QList<int>{0, 4}));
        QTest::keyClick(f.registers(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.editor->EindexA());
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    // The items run down two columns: none and B1 to B4 in the first, B5 to B8 in the second.
    void arrowKeysChooseInAByteGroup_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("chosen");
        QTest::newRow("Down to the next item") << 1 << int(Qt::Key_Down) << 2;
        QTest::newRow("Down from a column's foot to the next column's head") << 4 << int(Qt::Key_Down) << 5;
        QTest::newRow("Down at the last item stays") << 8 << int(Qt::Key_Down) << 8;
        QTest::newRow("Up to the previous item") << 7 << int(Qt::Key_Up) << 6;
        QTest::newRow("Up from a column's head to the previous column's foot") << 5 << int(Qt::Key_Up) << 4;
        QTest::newRow("Up at the first item stays") << 0 << int(Qt::Key_Up) << 0;
        QTest::newRow("Right to the next column") << 2 << int(Qt::Key_Right) << 7;
        QTest::newRow("Right beside the shorter column takes its last item") << 4 << int(Qt::Key_Right) << 8;
        QTest::newRow("Right in the last column stays") << 6 << int(Qt::Key_Right) << 6;
        QTest::newRow("Left to the first column") << 8 << int(Qt::Key_Left) << 3;
        QTest::newRow("Left in the first column stays") << 3 << int(Qt::Key_Left) << 3;
    }
    void arrowKeysChooseInAByteGroup()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, chosen);
        EditorFixture f(Direction::Receive);
        f.writeFrames(1);
        f.showActive();
        RadioGroup* group = f.editor->PoscompLsbA();
        group->setItemIndex(start);
        Item(group, start)->setFocus(Qt::TabFocusReason);
        EditorFixture::key(Qt::Key(key));
        QCOMPARE(group->itemIndex(), chosen);
        QVERIFY(Item(group, chosen)->isChecked());
        QCOMPARE(QApplication::focusWidget(), Item(group, chosen));
        QCOMPARE(f.editor->PoscompMsbA()->itemIndex(), 0);
        // Only the chosen item is a Tab stop.
        for (int i = 0; i < 9; ++i) QCOMPARE(bool(Item(group, i)->focusPolicy() & Qt::TabFocus), i == chosen);
    }

    void tabLandsOnTheChosenByteAndLeavesTheGroup_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QString>("after");  // the control after the groups
        QTest::addColumn<std::string>("write");
        QTest::newRow("receive") << Direction::Receive << "DELETEa" << std::string();
        QTest::newRow("transmit") << Direction::Transmit << "CB_Send_J1939" << std::string("1");
    }
    void tabLandsOnTheChosenByteAndLeavesTheGroup()
    {
        QFETCH(Direction, direction);
        QFETCH(QString, after);
        QFETCH(std::string, write);
        EditorFixture f(direction);
        f.writeFrames(1);
        f.writeMap(f.transmit() ? R"(<row Index="7" NrPdo="1" PosComp="35" Write_J1939="1"/>)"
                                : R"(<row Index="7" NrPdo="1" PosComp="35"/>)");
        test::WriteText(f.dir / "Pargen.xml", "<GeneralParameter><Write_J1939>1</Write_J1939></GeneralParameter>");
        f.showActive();
        f.pickFrame(0);
        f.pickRegister(0);
        QCOMPARE(f.choices(), (QList<int>{2, 3}));
        RadioGroup* high = f.editor->PoscompMsbA();
        RadioGroup* low = f.editor->PoscompLsbA();

        f.editor->EindexA()->setFocus(Qt::TabFocusReason);
        f.editor->EindexA()->setText("8");
        EditorFixture::key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Item(high, 2));
        EditorFixture::key(Qt::Key_Down);
        EditorFixture::key(Qt::Key_Down);
        QCOMPARE(high->itemIndex(), 4);
        QCOMPARE(QApplication::focusWidget(), Item(high, 4));
        EditorFixture::key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Item(low, 3));
        EditorFixture::key(Qt::Key_Right);
        QCOMPARE(low->itemIndex(), 8);
        EditorFixture::key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), after);
        QCOMPARE(f.choices(), (QList<int>{4, 8}));

        // Back through the groups to the index, each time onto the chosen item.
        EditorFixture::key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), Item(low, 8));
        EditorFixture::key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), Item(high, 4));
        EditorFixture::key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), f.editor->EindexA());

        f.press("NewA");
        QCOMPARE(f.boxes.shown, Boxes{});
        QCOMPARE(f.entries(0).back(), (TClIndMB{"8", std::to_string(16 * 4 + 8), write}));

        // A click chooses too, and the Tab stop goes with it.
        EditorFixture::choose(high, 1);
        QCOMPARE(high->itemIndex(), 1);
        f.editor->EindexA()->setFocus(Qt::TabFocusReason);
        EditorFixture::key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Item(high, 1));

        // A press let go off its item chooses nothing: the way back by keyboard still ends on the
        // chosen item.
        QTest::mousePress(Item(high, 6), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), Item(high, 6));
        QTest::mouseRelease(Item(high, 6), Qt::LeftButton, {}, QPoint(-20, -20));
        QCOMPARE(high->itemIndex(), 1);
        EditorFixture::key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Item(low, 8));
        EditorFixture::key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), Item(high, 1));
    }

    void onlyTheLeftButtonPicksInTheLists_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QString>("gesture");
        for (const char* list : {"registers", "frames"}) {
            for (const auto& [button, name] : {std::pair{Qt::RightButton, "right"}, std::pair{Qt::MiddleButton, "middle"}})
                for (const char* gesture : {"click", "double click", "drag"})
                    QTest::addRow("%s, %s %s", list, name, gesture) << QString(list) << button << QString(gesture);
        }
    }
    void onlyTheLeftButtonPicksInTheLists()
    {
        QFETCH(QString, list);
        QFETCH(Qt::MouseButton, button);
        QFETCH(QString, gesture);
        EditorFixture f(Direction::Receive);
        f.writeFrames(2);
        f.writeMap(R"(<row Index="1" NrPdo="1" PosComp="17"/><row Index="2" NrPdo="1" PosComp="34"/>)"
                   R"(<row Index="3" NrPdo="1" PosComp="51"/><row Index="9" NrPdo="2" PosComp="1"/>)");
        f.show();
        f.pickFrame(0);
        f.pickRegister(0);
        QCOMPARE(f.index(), QString("1"));

        SelectionList* target = list == "registers" ? f.registers() : f.frames();
        QWidget* viewport = target->viewport();
        const QPoint on = target->visualItemRect(target->item(1)).center();
        const QPoint to = list == "registers" ? target->visualItemRect(target->item(2)).center() : on + QPoint(0, 30);
        if (gesture == "click") {
            QTest::mouseClick(viewport, button, {}, on);
        } else if (gesture == "double click") {
            QTest::mouseDClick(viewport, button, {}, on);
        } else {
            QTest::mousePress(viewport, button, {}, on);
            QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, button, Qt::NoModifier);
            QApplication::sendEvent(viewport, &move);
            QTest::mouseRelease(viewport, button, {}, to);
        }
        QCOMPARE(f.frames()->selectedRow(), 0);
        QCOMPARE(f.registers()->selectedRow(), 0);
        QCOMPARE(f.labels(), (QStringList{"1  B1 B1", "2  B2 B2", "3  B3 B3"}));
        QCOMPARE(f.index(), QString("1"));
        QCOMPARE(f.choices(), (QList<int>{1, 1}));

        // Delete removes the register shown.
        f.press("DELETEa");
        QCOMPARE(f.entries(0), (std::vector<TClIndMB>{{"2", "34", ""}, {"3", "51", ""}}));
        QCOMPARE(f.entries(1), (std::vector<TClIndMB>{{"9", "1", ""}}));
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    void leavingWithChangesAsksFirst_data()
    {
        QTest::addColumn<QString>("change");  // the register button pressed; empty: none
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::newRow("nothing changed, Escape") << "" << "Escape" << false << false;
        QTest::newRow("nothing changed, Cancel") << "" << "Cancel" << false << false;
        QTest::newRow("nothing changed, close box") << "" << "close box" << false << false;
        QTest::newRow("Modify storing the same fields, Cancel") << "same" << "Cancel" << false << false;
        QTest::newRow("New, Escape, No") << "NewA" << "Escape" << false << true;
        QTest::newRow("New, Cancel, Yes") << "NewA" << "Cancel" << true << true;
        QTest::newRow("Modify, Cancel, No") << "ModifyA" << "Cancel" << false << true;
        QTest::newRow("Modify, close box, Yes") << "ModifyA" << "close box" << true << true;
        QTest::newRow("Delete, close box, No") << "DELETEa" << "close box" << false << true;
        QTest::newRow("Delete, Escape, Yes") << "DELETEa" << "Escape" << true << true;
    }
    void leavingWithChangesAsksFirst()
    {
        QFETCH(QString, change);
        QFETCH(QString, way);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        EditorFixture f(Direction::Receive);
        f.writeFrames(2);
        f.writeMap(R"(<row Index="1" NrPdo="1" PosComp="17"/><row Index="2" NrPdo="1" PosComp="34"/>)");
        const std::string document = f.map();
        f.showActive();
        f.pickFrame(0);
        f.pickRegister(1);
        if (change == "NewA") f.enter("5", 3, 3);
        if (change == "ModifyA") f.enter("6", 4, 4);
        if (!change.isEmpty()) f.press(change == "same" ? "ModifyA" : qPrintable(change));
        QCOMPARE(f.boxes.shown, Boxes{});

        const ByteMap map = f.editor->byteMap();
        const QStringList labels = f.labels();
        const int picked = f.registers()->selectedRow();
        const QString index = f.index();
        const QList<int> choices = f.choices();
        f.boxes.answer = answer;
        bool closed = false;
        if (way == "Escape") {
            EditorFixture::key(Qt::Key_Escape);
            closed = !f.editor->isVisible();
        } else if (way == "Cancel") {
            f.press("bitbtn2");
            closed = !f.editor->isVisible();
        } else {
            closed = f.editor->close();
            QCOMPARE(closed, !f.editor->isVisible());
        }

        QCOMPARE(f.boxes.shown, asked ? Boxes{kDiscardQuestion} : Boxes{});
        QCOMPARE(closed, !asked || answer);
        if (closed) {
            QCOMPARE(f.editor->result(), int(QDialog::Rejected));
        } else {
            // No: the dialog stays as it was.
            QCOMPARE(f.editor->byteMap(), map);
            QCOMPARE(f.labels(), labels);
            QCOMPARE(f.frames()->selectedRow(), 0);
            QCOMPARE(f.registers()->selectedRow(), picked);
            QCOMPARE(f.index(), index);
            QCOMPARE(f.choices(), choices);
        }
        QCOMPARE(f.map(), document);
    }

    void aNewShowingStartsWithoutChanges()
    {
        EditorFixture f(Direction::Transmit);
        f.writeFrames(1);
        f.writeMap(R"(<row Index="1" NrPdo="1" PosComp="17" Write_J1939="1"/>)");
        f.show();
        f.pickFrame(0);
        f.press("DELETEa");
        f.pickRegister(0);
        f.press("DELETEa");
        f.boxes.answer = true;
        f.press("bitbtn2");
        QVERIFY(!f.editor->isVisible());
        // OK wrote nothing, so the next showing reads the register again: no change to ask about.
        f.show();
        QCOMPARE(f.entries(0).size(), 1u);
        f.press("bitbtn2");
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.boxes.shown, Boxes{kDiscardQuestion});
    }

    void theFrameHeadingStandsOverItsColumns_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<std::string>("frame");  // the heading's words as the frame's fields
        QTest::addColumn<QString>("heading");
        QTest::newRow("receive") << Direction::Receive << std::string(R"(<row PGN="PGN" ID_DEV="ID_DEV"/>)")
                                 << "PGN                ID_DEV";
        QTest::newRow("transmit") << Direction::Transmit
                                  << std::string(R"(<row Priority="PRIOR" DP="DP" PGN="PGN" ID_DEV="ID_DEV"/>)")
                                  << "PRIOR       DP           PGN        ID_DEV";
    }
    void theFrameHeadingStandsOverItsColumns()
    {
        QFETCH(Direction, direction);
        QFETCH(std::string, frame);
        QFETCH(QString, heading);
        EditorFixture f(direction);
        test::WriteText(f.dir / (f.transmit() ? "TCobDef.xml" : "RCobDef.xml"), "<COBID>" + frame + "</COBID>");
        f.show();
        auto* label = f.editor->findChild<QLabel*>("FrameHeading");
        QCOMPARE(label->text(), heading);
        QCOMPARE(f.frames()->accessibleDescription(), heading);
        QCOMPARE(f.frames()->count(), 1);

        // The same words drawn by the heading and by the list: each starts and ends at the same x.
        QWidget* window = f.editor.get();
        const QList<QPair<int, int>> over = DarkRuns(label->grab(), label->mapTo(window, QPoint(0, 0)));
        const QRect line = f.frames()->visualItemRect(f.frames()->item(0));
        const QList<QPair<int, int>> under =
            DarkRuns(f.frames()->viewport()->grab(line), f.frames()->viewport()->mapTo(window, line.topLeft()));
        const qsizetype words = heading.split(' ', Qt::SkipEmptyParts).size();
        QCOMPARE(over.size(), words);
        QCOMPARE(under.size(), words);
        for (qsizetype k = 0; k < words; ++k) {
            const QByteArray where = QByteArray::number(k) + ": heading " + QByteArray::number(over[k].first) + "-" +
                                     QByteArray::number(over[k].second) + ", list " + QByteArray::number(under[k].first) +
                                     "-" + QByteArray::number(under[k].second);
            QVERIFY2(qAbs(over[k].first - under[k].first) <= 1, where);
            QVERIFY2(qAbs(over[k].second - under[k].second) <= 1, where);
        }
    }

    // Also run at twice the scale, where the screen is smaller than the dialogs.
    void okStaysOnTheScreen_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QSize>("client");
        QTest::newRow("receive") << Direction::Receive << QSize(493, 545);
        QTest::newRow("transmit") << Direction::Transmit << QSize(563, 596);
    }
    void okStaysOnTheScreen()
    {
        QFETCH(Direction, direction);
        QFETCH(QSize, client);
        EditorFixture f(direction);
        f.writeFrames(1);
        f.show();
        const QRect available = f.editor->screen()->availableGeometry();
        QVERIFY2(available.contains(f.editor->frameGeometry()),
                 qPrintable(QStringLiteral("frame %1,%2 %3x%4 on %5x%6")
                                .arg(f.editor->frameGeometry().x())
                                .arg(f.editor->frameGeometry().y())
                                .arg(f.editor->frameGeometry().width())
                                .arg(f.editor->frameGeometry().height())
                                .arg(available.width())
                                .arg(available.height())));
        auto* scroll = f.editor->findChild<QScrollArea*>("ScrollingBody");
        QVERIFY(scroll);
        QCOMPARE(scroll->widget()->size(), client - QSize(0, 41));
        // The body scrolls exactly when the dialog is smaller than its client area.
        const bool whole = f.editor->size() == client;
        QCOMPARE(scroll->horizontalScrollBar()->isVisible() || scroll->verticalScrollBar()->isVisible(), !whole);

        // The dialog's buttons stand below the scrolling body, whole and in sight without scrolling,
        // in their order from left to right.
        const QRect viewport(scroll->viewport()->mapToGlobal(QPoint(0, 0)), scroll->viewport()->size());
        int right = -1;
        for (const char* name : {"bitbtn1", "bitbtn2", "button1", "bitbtn4"}) {
            auto* button = f.editor->findChild<QPushButton*>(name);
            QVERIFY2(button && !scroll->isAncestorOf(button), name);
            const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
            QVERIFY2(available.contains(onScreen), name);
            QVERIFY2(!viewport.intersects(onScreen), name);
            QVERIFY2(button->isVisible() && button->visibleRegion() == QRegion(button->rect()), name);
            QVERIFY2(button->x() > right, name);
            right = button->geometry().right();
        }
        // The keyboard starts on a control the user sees, and a control it reaches from the button
        // bar scrolls into sight: Shift+Tab from OK goes to Paste, at the foot of the body.
        QWidget* focus = f.editor->focusWidget();
        QVERIFY(focus);
        QVERIFY2(focus->visibleRegion() == QRegion(focus->rect()), qPrintable(focus->objectName()));
        f.editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.editor.get()));
        EditorFixture::key(Qt::Key_Backtab, Qt::ShiftModifier);
        auto* paste = f.editor->findChild<QPushButton*>("PasteA");
        QCOMPARE(QApplication::focusWidget(), paste);
        QVERIFY(paste->visibleRegion() == QRegion(paste->rect()));

        QTest::mouseClick(f.editor->findChild<QPushButton*>("bitbtn1"), Qt::LeftButton);
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.editor->result(), int(QDialog::Accepted));
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    // The two lists draw their frames whole at the desktop's scales: rendered at 125, 150 and 200 %,
    // each edge is a line across the list in its outermost two pixel rows or columns.
    void listFramesDrawAllFourEdges_data()
    {
        QTest::addColumn<qreal>("scale");
        for (const qreal scale : {1.0, 1.25, 1.5, 2.0}) QTest::addRow("%d %%", qRound(scale * 100)) << scale;
    }
    void listFramesDrawAllFourEdges()
    {
        QFETCH(qreal, scale);
        EditorFixture f(Direction::Receive);
        f.writeFrames(2);
        f.show();
        for (SelectionList* list : {f.registers(), f.frames()}) {
            QImage image(list->size() * scale, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(scale);
            image.fill(Qt::white);
            list->render(&image);
            const int w = image.width(), h = image.height();
            // A line: darker than the white list and the light window along all but its corners.
            const auto line = [&](bool across, int at) {
                const int length = across ? w : h;
                for (int i = 4; i < length - 4; ++i)
                    if (qGray(across ? image.pixel(i, at) : image.pixel(at, i)) > 215) return false;
                return true;
            };
            const QByteArray where = list->objectName().toLatin1() + " edge ";
            QVERIFY2(line(true, 0) || line(true, 1), where + "top");
            QVERIFY2(line(true, h - 1) || line(true, h - 2), where + "bottom");
            QVERIFY2(line(false, 0) || line(false, 1), where + "left");
            QVERIFY2(line(false, w - 1) || line(false, w - 2), where + "right");
        }
    }

    void mainWindowOpensEachEditorInItsMode_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("frames");
        QTest::addColumn<QString>("line");
        QTest::newRow("receive") << "btn_Info_RCOB" << "TFInfopdoMB Receive J1939 Frame Info" << "RCobDef.xml"
                                 << "abc\t3";
        QTest::newRow("transmit") << "btn_Info_TCOB" << "TFInfoTpdoMB Transmit J1939 Frame Info" << "TCobDef.xml"
                                  << "1\t0\tabc\t3";
    }
    void mainWindowOpensEachEditorInItsMode()
    {
        QFETCH(QString, button);
        QFETCH(QString, dialog);
        QFETCH(QString, frames);
        QFETCH(QString, line);
        test::TempFolder program;
        test::RecordingPlatform fake;
        // The last project, restored at start-up.
        std::filesystem::create_directories(program / "PROJECTS" / "Boiler");
        test::WriteText(program / "Trelvant_CAN2MRTUs.ini", "[lastproj]\nprojectname=Boiler\n");
        TFTrelvanteFirmWare window(FromPath(program.path()), fake.platform);
        window.show();
        test::WriteText(program / "PROJECTS" / "Boiler" / frames.toStdString(),
                        R"(<COBID><row Priority="1" DP="0" PGN="abc" ID_DEV="3" Mnemonic=""/></COBID>)");
        QString seen;
        QString firstLine;
        ModalScript script([&](QDialog* shown) {
            seen = shown->objectName() + " " + shown->windowTitle();
            firstLine = shown->findChild<QListWidget*>("LPdoCanA")->item(0)->text();
            QTest::mouseClick(shown->findChild<QPushButton*>("bitbtn2"), Qt::LeftButton);
        });
        QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton);
        QVERIFY(script.ran());
        QCOMPARE(seen, dialog);
        QCOMPARE(firstLine, line);
        QCOMPARE(fake.boxes.shown, Boxes{});
    }
};

QTEST_MAIN(ByteMapEditorTest)
#include "byte_map_editor_test.moc"
