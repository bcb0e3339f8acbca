// The byte map editor by keyboard: Return in "Index MODBUS", OK with an index never stored, the
// fields beside the lists after Delete and a frame picked, what Copy says, Alt+O and Alt+C.
#include "documents/byte_map_document.h"
#include "editors/byte_map_editor.h"
#include "tests/editors/byte_map_editor_fixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <string>

using namespace trelvant;
using namespace trelvant::test;

namespace {

// Frame 1 (PGN 61441) holds the registers 10 (high B2, low B1) and 11 (low B8), frame 2 (PGN
// 61442) the register 20.
void WriteTwoFrames(const EditorFixture& f)
{
    f.writeFrames(2);
    f.writeMap(R"(<row Index="10" NrPdo="1" PosComp="33"/><row Index="11" NrPdo="1" PosComp="8"/>)"
               R"(<row Index="20" NrPdo="2" PosComp="1"/>)");
}

// The index field emptied and the text typed into it, as the user does.
void TypeIndex(const EditorFixture& f, const QString& text)
{
    QLineEdit* field = f.editor->EindexA();
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

QString Unstored(const QString& index)
{
    return QStringLiteral("The index %1 typed in \"Index MODBUS\" was not stored with New or Modify.\n\n"
                          "Save the byte map without it?")
        .arg(index);
}

}  // namespace

class ByteMapEditorEntryTest : public QObject {
    Q_OBJECT

private slots:
    // Return or Enter in "Index MODBUS" stores the register: Modify when the selected register has
    // the typed index (as integers), New otherwise. OK is not pressed.
    void returnInTheIndexFieldStoresTheRegister_data()
    {
        QTest::addColumn<int>("frame");     // -1: none picked
        QTest::addColumn<int>("picked");    // the register picked first, -1: none
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("labels");  // frame 1's register list afterwards
        QTest::addColumn<QString>("told");        // a message box, else empty
        QTest::addColumn<QString>("status");
        QTest::newRow("none selected: New") << 0 << -1 << "12" << int(Qt::Key_Return)
                                             << QStringList{"10  B2 B1", "11  - B8", "12  B4 B5"} << "" << "";
        QTest::newRow("Enter of the keypad: New") << 0 << -1 << "12" << int(Qt::Key_Enter)
                                                  << QStringList{"10  B2 B1", "11  - B8", "12  B4 B5"} << "" << "";
        QTest::newRow("the selected register's index as 0x0A: Modify")
            << 0 << 0 << "0x0A" << int(Qt::Key_Return) << QStringList{"0x0A  B4 B5", "11  - B8"} << "" << "";
        QTest::newRow("another index than the selected register's: New")
            << 0 << 1 << "13" << int(Qt::Key_Return) << QStringList{"10  B2 B1", "11  - B8", "13  B4 B5"} << "" << "";
        QTest::newRow("an index of another frame: refused")
            << 0 << -1 << "20" << int(Qt::Key_Return) << QStringList{"10  B2 B1", "11  - B8"}
            << "Index or Subindex Not Valid\n\nIndex 20 is already used by frame 2 (PGN 61442)" << "";
        QTest::newRow("no frame picked: the status line says so")
            << -1 << -1 << "12" << int(Qt::Key_Return) << QStringList{} << ""
            << "Pick a frame in \"Correlated\" first: New adds the register to it.";
    }
    void returnInTheIndexFieldStoresTheRegister()
    {
        QFETCH(int, frame);
        QFETCH(int, picked);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QStringList, labels);
        QFETCH(QString, told);
        QFETCH(QString, status);
        EditorFixture f(Direction::Receive);
        WriteTwoFrames(f);
        const std::string document = f.map();
        f.showActive();
        if (frame >= 0) f.pickFrame(frame);
        if (picked >= 0) f.pickRegister(picked);
        EditorFixture::choose(f.editor->PoscompMsbA(), 4);
        EditorFixture::choose(f.editor->PoscompLsbA(), 5);
        TypeIndex(f, typed);
        QTest::keyClick(f.editor->EindexA(), Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);

        QVERIFY(f.editor->isVisible());
        QCOMPARE(f.map(), document);
        QCOMPARE(f.boxes.shown, told.isEmpty() ? Boxes{} : Boxes{Plain(told)});
        QCOMPARE(f.status(), status);
        if (frame < 0) {
            QCOMPARE(f.editor->byteMap()[0].registers.size(), 2u);
            return;
        }
        QCOMPARE(f.labels(), labels);
        QCOMPARE(static_cast<int>(f.entries(0).size()), labels.size());
        if (told.isEmpty()) {
            // The stored register is the selected one, and OK now loses nothing.
            QCOMPARE(f.labels().at(f.registers()->selectedRow()), typed + "  B4 B5");
            f.press("bitbtn1");
            QCOMPARE(f.boxes.shown, Boxes{});
            QCOMPARE(f.editor->result(), int(QDialog::Accepted));
            QCOMPARE(f.map(), ByteMapXml(Direction::Receive, f.editor->byteMap()));
        }
    }

    // Return elsewhere is OK; Alt+O is OK and Alt+C Cancel from any control.
    void okAndCancelByKeyboard_data()
    {
        QTest::addColumn<QString>("from");  // the control with the focus
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("changed");  // a register deleted first
        QTest::addColumn<int>("result");
        QTest::newRow("Return in the frame list") << "LPdoCanA" << int(Qt::Key_Return) << true << int(QDialog::Accepted);
        QTest::newRow("Alt+O in the index field") << "EindexA" << int(Qt::Key_O) << true << int(QDialog::Accepted);
        QTest::newRow("Alt+O in the register list") << "LIndMbCanA" << int(Qt::Key_O) << false << int(QDialog::Accepted);
        QTest::newRow("Alt+C without changes") << "EindexA" << int(Qt::Key_C) << false << int(QDialog::Rejected);
        QTest::newRow("Alt+C after a change, Yes") << "LPdoCanA" << int(Qt::Key_C) << true << int(QDialog::Rejected);
    }
    void okAndCancelByKeyboard()
    {
        QFETCH(QString, from);
        QFETCH(int, key);
        QFETCH(bool, changed);
        QFETCH(int, result);
        EditorFixture f(Direction::Transmit);
        WriteTwoFrames(f);
        const std::string document = f.map();
        f.showActive();
        f.pickFrame(0);
        f.pickRegister(1);
        if (changed) f.press("DELETEa");
        f.boxes.answer = true;
        f.editor->findChild<QWidget*>(from)->setFocus(Qt::TabFocusReason);
        EditorFixture::key(Qt::Key(key), key == Qt::Key_Return ? Qt::NoModifier : Qt::AltModifier);
        QTRY_VERIFY(!f.editor->isVisible());  // a shortcut clicks its button a moment later
        QCOMPARE(f.editor->result(), result);
        const bool asked = result == QDialog::Rejected && changed;
        QCOMPARE(f.boxes.shown, asked ? Boxes{kDiscardQuestion} : Boxes{});
        if (result == QDialog::Accepted) QCOMPARE(f.map(), ByteMapXml(Direction::Transmit, f.editor->byteMap()));
        else QCOMPARE(f.map(), document);
    }

    // OK asks before it saves without an index typed since the last New, Modify or selection that
    // no register holds; No, the default, keeps the dialog with the field in the keyboard's hands.
    void okAsksBeforeLosingATypedIndex_data()
    {
        QTest::addColumn<int>("picked");  // the register of frame 1 picked first, -1: none
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("then");  // a button pressed or a register picked ("register 1") after typing
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::newRow("none selected, No") << -1 << "12" << "" << false << true;
        QTest::newRow("none selected, Yes") << -1 << "12" << "" << true << true;
        QTest::newRow("typed over the selected register, No") << 0 << "15" << "" << false << true;
        QTest::newRow("Modify refused as a duplicate, No") << 0 << "11" << "ModifyA" << false << true;
        QTest::newRow("the selected register's index typed as 0x0A") << 0 << "0x0A" << "" << false << false;
        QTest::newRow("stored with New") << -1 << "12" << "NewA" << false << false;
        QTest::newRow("stored with Modify") << 1 << "15" << "ModifyA" << false << false;
        QTest::newRow("another register picked after typing") << 0 << "15" << "register 1" << false << false;
        QTest::newRow("Pasted with none selected, No") << -1 << "" << "PasteA" << false << true;
        QTest::newRow("typed and emptied again") << -1 << "" << "" << false << false;
    }
    void okAsksBeforeLosingATypedIndex()
    {
        QFETCH(int, picked);
        QFETCH(QString, typed);
        QFETCH(QString, then);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        EditorFixture f(Direction::Receive);
        WriteTwoFrames(f);
        const std::string document = f.map();
        f.showActive();
        f.pickFrame(0);
        if (then == "PasteA") {
            f.pickRegister(0);
            f.press("copyA");
            f.press("DELETEa");
        }
        if (picked >= 0) f.pickRegister(picked);
        TypeIndex(f, typed.isEmpty() ? QStringLiteral("9") : typed);
        if (typed.isEmpty() && then != "PasteA") QTest::keyClick(f.editor->EindexA(), Qt::Key_Backspace);
        if (then == "register 1") f.pickRegister(1);
        else if (!then.isEmpty()) f.press(qPrintable(then));
        const Boxes before = f.boxes.shown;
        const ByteMap map = f.editor->byteMap();
        const QString field = f.index();

        f.boxes.answer = answer;
        f.press("bitbtn1");
        Boxes expected = before;
        if (asked) expected.push_back({ShownBox::Question, Unstored(field)});
        QCOMPARE(f.boxes.shown, expected);
        if (asked && !answer) {
            QVERIFY(f.editor->isVisible());
            QCOMPARE(f.map(), document);
            QCOMPARE(f.editor->byteMap(), map);
            QCOMPARE(f.index(), field);
            QCOMPARE(QApplication::focusWidget(), f.editor->EindexA());
            return;
        }
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.editor->result(), int(QDialog::Accepted));
        QCOMPARE(f.map(), ByteMapXml(Direction::Receive, map));
    }

    // The fields beside the lists show the selected register, and nothing with none selected:
    // an empty index, "none" in both groups and "False".
    void theFieldsShowTheSelectedRegister_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("Delete") << "Delete";
        QTest::newRow("another frame picked") << "another frame";
        QTest::newRow("the same frame picked again") << "same frame";
    }
    void theFieldsShowTheSelectedRegister()
    {
        QFETCH(QString, action);
        EditorFixture f(Direction::Transmit);
        f.writeFrames(2);
        f.writeMap(R"(<row Index="7" NrPdo="1" PosComp="35" Write_J1939="1"/>)"
                   R"(<row Index="9" NrPdo="2" PosComp="0x12" Write_J1939="0"/>)");
        test::WriteText(f.dir / "Pargen.xml", "<GeneralParameter><Write_J1939>1</Write_J1939></GeneralParameter>");
        f.show();
        QComboBox* write = f.editor->CB_Send_J1939();
        f.pickFrame(0);
        f.pickRegister(0);
        QCOMPARE(f.index(), QString("7"));
        QCOMPARE(f.choices(), (QList<int>{2, 3}));
        QCOMPARE(write->currentIndex(), 1);

        if (action == "Delete") f.press("DELETEa");
        else f.pickFrame(action == "another frame" ? 1 : 0);
        QCOMPARE(f.registers()->selectedRow(), -1);
        QCOMPARE(f.index(), QString());
        QCOMPARE(f.choices(), (QList<int>{0, 0}));
        QCOMPARE(write->currentIndex(), 0);
        // New from the empty fields stores an entry of no bytes, not the former register's.
        f.editor->EindexA()->setText("30");
        f.press("NewA");
        const int frame = action == "another frame" ? 1 : 0;
        QCOMPARE(f.entries(frame).back(), (TClIndMB{"30", "0", "0"}));
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    void copySaysWhatItCopied_data()
    {
        QTest::addColumn<int>("picked");  // -1: the fields of no register
        QTest::addColumn<QString>("said");
        QTest::newRow("a register") << 0 << "Copied: index 100, high B5, low B4";
        QTest::newRow("empty fields") << -1 << "Copied: index (empty), high -, low -";
    }
    void copySaysWhatItCopied()
    {
        QFETCH(int, picked);
        QFETCH(QString, said);
        EditorFixture f(Direction::Receive);
        f.writeFrames(1);
        f.writeMap(R"(<row Index="100" NrPdo="1" PosComp="84"/>)");
        f.show();
        f.pickFrame(0);
        if (picked >= 0) f.pickRegister(picked);
        f.press("copyA");
        QCOMPARE(f.status(), said);
        QCOMPARE(f.boxes.shown, Boxes{});
    }
};

QTEST_MAIN(ByteMapEditorEntryTest)
#include "byte_map_editor_entry_test.moc"
