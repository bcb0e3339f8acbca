// The project check in the byte map editor: the findings of what is typed at the field typed in,
// those of the byte map in memory at its registers and frames, F8 and Shift+F8, OK with errors.
#include "documents/byte_map_document.h"
#include "editors/byte_map_editor.h"
#include "editors/finding_marks.h"
#include "tests/editors/byte_map_editor_fixture.h"
#include "tests/support/stored_zip.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

#include <string>

using namespace trelvant;
using namespace trelvant::test;

namespace {

// Frame 1 (PGN 61441) holds the registers 10 (high B2, low B1) and 11 (low B8), frame 2 the
// register 20 (low B1).
const char* const kTwoFrames = R"(<row Index="10" NrPdo="1" PosComp="33"/><row Index="11" NrPdo="1" PosComp="8"/>)"
                               R"(<row Index="20" NrPdo="2" PosComp="1"/>)";
// The element of pargen.xml that makes 300 the data time-out register.
const char* const kTimeOutRegister300 = "<GeneralParameter><TO_ModReg>300</TO_ModReg></GeneralParameter>";

// The index field emptied and the text typed into it, key by key.
void TypeIndex(const EditorFixture& f, const QString& text)
{
    QLineEdit* field = f.editor->EindexA();
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

// What a screen reader is told of a widget, or of an item of a list.
QString Described(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description);
}
QString Described(QListWidget* list, int row)
{
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list);
    const QString text = view->child(row)->text(QAccessible::Description);
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(view));
    return text;
}

// The fields beside the lists that show findings.
const QStringList kFields{"EindexA", "PoscompMsbA", "PoscompLsbA", "CB_Send_J1939"};

// Each field's mark: the expected "field\ttip" lines, every other field unmarked. A mark is a
// tip, the description a screen reader gets, the tint of the severity and an icon.
void CheckFields(const EditorFixture& f, const QStringList& marks)
{
    for (const QString& name : kFields) {
        QWidget* field = f.editor->findChild<QWidget*>(name);
        if (!field) continue;
        QString tip;
        for (const QString& mark : marks)
            if (mark.section('\t', 0, 0) == name) tip = mark.section('\t', 1);
        const QByteArray where = name.toLatin1();
        QCOMPARE(field->toolTip(), tip);
        bool icon = false;
        if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            for (QAction* action : edit->actions()) icon = icon || action->isVisible();
        } else {
            auto* marker = field->findChild<QLabel*>("findingMarker", Qt::FindDirectChildrenOnly);
            icon = marker && marker->isVisible();
        }
        QVERIFY2(icon == !tip.isEmpty(), where);
        if (tip.isEmpty()) {
            QVERIFY2(field->styleSheet().isEmpty(), where);
            QVERIFY2(!Described(field).contains("Error") && !Described(field).contains("Warning"), where);
            continue;
        }
        QVERIFY2(Described(field).endsWith(tip), qPrintable(name + ": " + Described(field)));
        const Severity severity = tip.startsWith("Error") ? Severity::Error : Severity::Warning;
        QVERIFY2(field->styleSheet().contains(FindingTint(severity).name()), where);
    }
}

// The descriptions of the register list's items as a screen reader gets them.
QStringList ItemDescriptions(const EditorFixture& f)
{
    QStringList texts;
    for (int i = 0; i < f.registers()->count(); ++i) texts << Described(f.registers(), i);
    return texts;
}

}  // namespace

class ByteMapEditorFindingsTest : public QObject {
    Q_OBJECT

private slots:
    // What is typed is checked as New or Modify would store it, and shown at the field typed in;
    // the lists and the findings line keep showing the byte map as it stands.
    void aTypedValueShowsItsFindingAtItsField_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QString>("pargen");  // empty: none
        QTest::addColumn<int>("picked");      // the register of frame 1 picked, -1: none
        QTest::addColumn<QString>("typed");   // empty: the index field left as it is
        QTest::addColumn<int>("high");        // a byte choice clicked, -1: none
        QTest::addColumn<int>("low");
        QTest::addColumn<QStringList>("marks");
        const auto receive = Direction::Receive, transmit = Direction::Transmit;
        QTest::newRow("New of an index of another frame")
            << receive << "" << -1 << "20" << -1 << -1 << QStringList{"EindexA\tError: Modbus index 20 is also in row 3"};
        QTest::newRow("New of 010 where 10 is: the first of the two rows")
            << receive << "" << -1 << "010" << -1 << -1
            << QStringList{"EindexA\tError (RInfoCob.xml, row 2): Modbus index 10 is also in row 1"};
        QTest::newRow("an index wider than the image's 16 bits")
            << receive << "" << -1 << "70000" << -1 << -1
            << QStringList{"EindexA\tError: Modbus index 70000 is cut to 4464 (field of 16 bits)"};
        QTest::newRow("not an integer") << transmit << "" << -1 << "1x" << -1 << -1
                                        << QStringList{"EindexA\tError: attribute \"Index\": '1x' is not a valid integer value"};
        QTest::newRow("the data time-out register of pargen.xml")
            << receive << kTimeOutRegister300 << -1 << "300" << -1 << -1
            << QStringList{"EindexA\tError: Modbus index 300 is also the register \"TO_ModReg\" of pargen.xml"};
        QTest::newRow("Modify onto a byte another register sends: the high group")
            << transmit << "" << 1 << "" << 2 << -1 << QStringList{"PoscompMsbA\tError: byte B2 of frame 1 is also mapped by row 1"};
        QTest::newRow("the same byte received twice: a warning")
            << receive << "" << 1 << "" << 2 << -1
            << QStringList{"PoscompMsbA\tWarning: byte B2 of frame 1 is also mapped by row 1"};
        QTest::newRow("New before the register that sends the byte: the low group")
            << transmit << "" << -1 << "5" << 0 << 1
            << QStringList{"PoscompLsbA\tError (TInfoCob.xml, row 2): byte B1 of frame 1 is also mapped by row 1"};
        const QString twice = "Warning: PosComp 51 sends both the high and the low byte of the register in B3: the frame "
                              "carries only one of them";
        QTest::newRow("both halves sent in one byte: both groups")
            << transmit << "" << -1 << "12" << 3 << 3 << QStringList{"PoscompMsbA\t" + twice, "PoscompLsbA\t" + twice};
        QTest::newRow("Modify to values without findings") << transmit << "" << 1 << "0x0B" << 4 << 5 << QStringList{};
        QTest::newRow("an emptied index: nothing to store") << receive << "" << -1 << "" << 2 << 1 << QStringList{};
    }
    void aTypedValueShowsItsFindingAtItsField()
    {
        QFETCH(Direction, direction);
        QFETCH(QString, pargen);
        QFETCH(int, picked);
        QFETCH(QString, typed);
        QFETCH(int, high);
        QFETCH(int, low);
        QFETCH(QStringList, marks);
        EditorFixture f(direction);
        f.writeFrames(2);
        f.writeMap(kTwoFrames);
        if (!pargen.isEmpty()) test::WriteText(f.dir / "pargen.xml", pargen.toStdString());
        f.showActive();
        f.pickFrame(0);
        if (picked >= 0) f.pickRegister(picked);
        CheckFields(f, {});
        const QString line = f.editor->findingsLine()->text();
        QCOMPARE(line, QString("No problems found"));

        if (high >= 0) EditorFixture::choose(f.editor->PoscompMsbA(), high);
        if (low >= 0) EditorFixture::choose(f.editor->PoscompLsbA(), low);
        if (!typed.isEmpty() || picked < 0) TypeIndex(f, typed);
        CheckFields(f, marks);
        // Nothing is stored yet: the lists and the line show the byte map in memory.
        QCOMPARE(f.editor->findingsLine()->text(), line);
        QCOMPARE(ItemDescriptions(f), (QStringList{"", ""}));
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    // Values saved before (by an import, by hand, or by an earlier version) that the image cannot
    // hold as they are: the register's item in the list, its frame's line, and, once the register
    // is picked, the field of the value.
    void aSavedValueShowsAtItsRegister_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QString>("rows");        // the editor's byte map
        QTest::addColumn<QString>("otherRows");   // the other direction's byte map
        QTest::addColumn<QString>("pargen");
        QTest::addColumn<int>("picked");          // the register of frame 1
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<QString>("frameLine");   // what frame 1's line says
        QTest::addColumn<QString>("otherFrameLine");  // frame 2's
        QTest::addColumn<QString>("line");
        const auto receive = Direction::Receive, transmit = Direction::Transmit;
        QTest::newRow("a byte choice above B8")
            << receive << R"(<row Index="10" NrPdo="1" PosComp="144"/>)" << "" << "" << 0
            << QStringList{"PoscompMsbA\tError: PosComp 144 chooses byte 9 for the high byte; a frame has B1 to B8"}
            << "1 register with errors" << "" << "1 error";
        QTest::newRow("an index used twice, the later of the two rows")
            << receive << R"(<row Index="10" NrPdo="1" PosComp="33"/><row Index="0x0A" NrPdo="2" PosComp="1"/>)" << ""
            << "" << 0 << QStringList{"EindexA\tError: Modbus index 10 is also in row 1"} << "1 register with errors"
            << "1 register with errors" << "1 error";
        QTest::newRow("a transmit register on both bytes of another")
            << transmit
            << R"(<row Index="10" NrPdo="1" PosComp="33" Write_J1939="0"/><row Index="11" NrPdo="1" PosComp="18" Write_J1939="0"/>)"
            << "" << "" << 1
            << QStringList{"PoscompMsbA\tError: byte B1 of frame 1 is also mapped by row 1",
                           "PoscompLsbA\tError: byte B2 of frame 1 is also mapped by row 1"}
            << "2 registers with errors" << "" << "2 errors";
        QTest::newRow("the data time-out register of pargen.xml")
            << receive << R"(<row Index="300" NrPdo="1" PosComp="1"/>)" << "" << kTimeOutRegister300 << 0
            << QStringList{"EindexA\tError: Modbus index 300 is also the register \"TO_ModReg\" of pargen.xml"}
            << "1 register with errors" << "" << "1 error";
        QTest::newRow("a receive register the transmit map uses too")
            << receive << R"(<row Index="7" NrPdo="1" PosComp="1"/>)" << R"(<row Index="7" NrPdo="1" PosComp="1"/>)" << "" << 0
            << QStringList{"EindexA\tError (TInfoCob.xml, row 1): Modbus index 7 is also in RInfoCob.xml, row 1"}
            << "1 register with errors" << "" << "1 error";
        QTest::newRow("writing while pargen.xml disables it")
            << transmit << R"(<row Index="7" NrPdo="1" PosComp="1" Write_J1939="1"/>)" << ""
            << "<GeneralParameter><Write_J1939>0</Write_J1939></GeneralParameter>" << 0
            << QStringList{"CB_Send_J1939\tWarning: Write J1939 flag 1 while pargen.xml disables writing J1939 frames"}
            << "1 register with warnings" << "" << "1 warning";
    }
    void aSavedValueShowsAtItsRegister()
    {
        QFETCH(Direction, direction);
        QFETCH(QString, rows);
        QFETCH(QString, otherRows);
        QFETCH(QString, pargen);
        QFETCH(int, picked);
        QFETCH(QStringList, marks);
        QFETCH(QString, frameLine);
        QFETCH(QString, otherFrameLine);
        QFETCH(QString, line);
        EditorFixture f(direction);
        f.writeFrames(2);
        f.writeMap(rows.toStdString());
        if (!otherRows.isEmpty()) {
            test::WriteText(f.dir / "TCobDef.xml", R"(<COBID><row Priority="6" DP="0" PGN="1" ID_DEV="1"/></COBID>)");
            test::WriteText(f.dir / "TInfoCob.xml", "<TInfoCob>" + otherRows.toStdString() + "</TInfoCob>");
        }
        if (!pargen.isEmpty()) test::WriteText(f.dir / "pargen.xml", pargen.toStdString());
        f.showActive();
        QCOMPARE(f.editor->findingsLine()->text(), line);
        QCOMPARE(Described(f.editor->findingsLine()), line);
        QCOMPARE(Described(f.frames(), 0), frameLine);
        QCOMPARE(f.frames()->item(0)->data(Qt::ToolTipRole).toString(), frameLine);
        QVERIFY(!f.frames()->item(0)->data(Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(Described(f.frames(), 1), otherFrameLine);

        f.pickFrame(0);
        QString tips;
        for (const QString& mark : marks)
            if (!tips.contains(mark.section('\t', 1))) tips += (tips.isEmpty() ? "" : "\n") + mark.section('\t', 1);
        QCOMPARE(Described(f.registers(), picked), tips);
        QListWidgetItem* item = f.registers()->item(picked);
        QCOMPARE(item->data(Qt::ToolTipRole).toString(), tips);
        const Severity severity = tips.startsWith("Error") ? Severity::Error : Severity::Warning;
        QCOMPARE(item->data(Qt::BackgroundRole).value<QBrush>().color(), FindingTint(severity));
        QVERIFY(!item->data(Qt::DecorationRole).value<QIcon>().isNull());
        CheckFields(f, {});
        f.pickRegister(picked);
        CheckFields(f, marks);
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    // A stored register changes the lists and the line; typing alone does not.
    void storingChecksTheMapAgain()
    {
        EditorFixture f(Direction::Receive);
        f.writeFrames(2);
        f.writeMap(kTwoFrames);
        f.showActive();
        f.pickFrame(0);
        TypeIndex(f, "70000");
        const QString cut = "Error: Modbus index 70000 is cut to 4464 (field of 16 bits)";
        CheckFields(f, {"EindexA\t" + cut});
        QCOMPARE(f.editor->findingsLine()->text(), QString("No problems found"));
        QCOMPARE(Described(f.frames(), 0), QString());

        QTest::keyClick(f.editor->EindexA(), Qt::Key_Return);  // New
        QCOMPARE(f.labels(), (QStringList{"10  B2 B1", "11  - B8", "70000  - -"}));
        QCOMPARE(f.editor->findingsLine()->text(), QString("1 error"));
        QCOMPARE(ItemDescriptions(f), (QStringList{"", "", cut}));
        QCOMPARE(Described(f.frames(), 0), QString("1 register with errors"));
        QCOMPARE(Described(f.frames(), 1), QString());
        // The new register is selected: its field shows the finding of the map as stored.
        CheckFields(f, {"EindexA\t" + cut});

        f.press("DELETEa");
        QCOMPARE(f.editor->findingsLine()->text(), QString("No problems found"));
        QCOMPARE(ItemDescriptions(f), (QStringList{"", ""}));
        QCOMPARE(Described(f.frames(), 0), QString());
        CheckFields(f, {});
        QCOMPARE(f.boxes.shown, Boxes{});
    }

#ifndef TRELVANT_WITHOUT_IMPORT
    // The texts of an import come as they are: what the image cannot hold is shown at once.
    void anImportIsChecked()
    {
        test::ScriptedFileChooser files;
        EditorFixture f(Direction::Transmit);
        f.editor->setFileChooser(files);
        f.writeFrames(2);
        f.showActive();
        std::string rows;
        int r = 2;
        for (const auto& [index, frame, posComp] : {std::tuple{10, 1, 33}, {11, 1, 146}, {10, 2, 1}}) {
            const std::string n = std::to_string(r++);
            rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + std::to_string(index) + "</v></c><c r=\"B" + n +
                    "\"><v>" + std::to_string(frame) + "</v></c><c r=\"C" + n + "\"><v>" + std::to_string(posComp) +
                    "</v></c></row>";
        }
        const std::filesystem::path workbook = f.dir / "book.xlsx";
        test::WriteText(workbook, test::StoredZip({
            {"_rels/.rels", R"(<Relationships><Relationship Id="a" Type="x/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
            {"xl/workbook.xml", R"(<workbook><sheets><sheet name="TInfoCob" r:id="s"/></sheets></workbook>)"},
            {"xl/_rels/workbook.xml.rels", R"(<Relationships><Relationship Id="s" Type="x/worksheet" Target="sheet.xml"/></Relationships>)"},
            {"xl/sheet.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"}}));
        files.answer = FromPath(workbook);
        f.pickFrame(0);
        f.press("bitbtn4");
        QCOMPARE(f.boxes.shown, (Boxes{Plain("TInfoCob: 3 registers imported")}));
        // Rows: 10 of frame 2, 10 of frame 1, 11 (high B9, low B2).
        QCOMPARE(f.editor->findingsLine()->text(), QString("2 errors"));
        QCOMPARE(ItemDescriptions(f),
                 (QStringList{"Error: Modbus index 10 is also in row 1",
                              "Error: PosComp 146 chooses byte 9 for the high byte; a frame has B1 to B8"}));
        QCOMPARE(Described(f.frames(), 1), QString("1 register with errors"));
        f.pickRegister(1);
        CheckFields(f, {"PoscompMsbA\tError: PosComp 146 chooses byte 9 for the high byte; a frame has B1 to B8"});
    }
#endif

    // F8 and Shift+F8 pick the frame and the register of the next and the previous row with
    // findings, in the document's row order, going round; the register list takes the keyboard.
    void f8GoesToTheRegistersWithFindingsInRowOrder_data()
    {
        QTest::addColumn<int>("fromFrame");  // the register picked first, -1: none
        QTest::addColumn<int>("fromRegister");
        QTest::addColumn<QStringList>("keys");    // "F8" or "Shift+F8", one after the other
        QTest::addColumn<QStringList>("reached"); // the index shown after each
        QTest::newRow("F8 from nothing picked, round") << -1 << -1 << QStringList{"F8", "F8", "F8"}
                                                       << QStringList{"20", "30", "20"};
        QTest::newRow("Shift+F8 from nothing picked, round")
            << -1 << -1 << QStringList{"Shift+F8", "Shift+F8", "Shift+F8"} << QStringList{"30", "20", "30"};
        QTest::newRow("F8 from a register without findings between the two")
            << 2 << 0 << QStringList{"F8"} << QStringList{"30"};
        QTest::newRow("Shift+F8 from a register without findings between the two")
            << 2 << 0 << QStringList{"Shift+F8"} << QStringList{"20"};
        QTest::newRow("F8 from the first register of the rows") << 1 << 1 << QStringList{"F8", "Shift+F8"}
                                                                << QStringList{"20", "30"};
    }
    void f8GoesToTheRegistersWithFindingsInRowOrder()
    {
        QFETCH(int, fromFrame);
        QFETCH(int, fromRegister);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, reached);
        EditorFixture f(Direction::Receive);
        f.writeFrames(3);
        // Rows: 5, 10, 20 (high B10), 25, 30 (high B9).
        f.writeMap(R"(<row Index="30" NrPdo="1" PosComp="144"/><row Index="10" NrPdo="1" PosComp="1"/>)"
                   R"(<row Index="20" NrPdo="2" PosComp="160"/><row Index="5" NrPdo="2" PosComp="2"/>)"
                   R"(<row Index="25" NrPdo="3" PosComp="3"/>)");
        f.showActive();
        if (fromFrame >= 0) {
            f.pickFrame(fromFrame);
            f.pickRegister(fromRegister);
        }
        const QMap<QString, QPair<int, int>> places{{"20", {1, 0}}, {"30", {0, 0}}};
        for (int i = 0; i < keys.size(); ++i) {
            EditorFixture::key(Qt::Key_F8, keys[i] == "F8" ? Qt::NoModifier : Qt::ShiftModifier);
            const QByteArray step = QByteArray::number(i) + ": " + keys[i].toLatin1();
            QVERIFY2(f.index() == reached[i], step + " reached " + f.index().toLatin1());
            QCOMPARE(f.frames()->selectedRow(), places[reached[i]].first);
            QCOMPARE(f.registers()->selectedRow(), places[reached[i]].second);
            QCOMPARE(QApplication::focusWidget(), f.registers());
            QVERIFY(f.editor->PoscompMsbA()->toolTip().contains("chooses byte"));
        }
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    // OK asks once when the byte map has errors, No the default; warnings are not asked about.
    // An index typed and never stored is asked about first; an Index that is not an integer is
    // refused before anything is asked.
    void okAsksAboutErrors_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("typed");  // typed and never stored, empty: none
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("refused");  // a toolkit error box instead, empty: none
        const QString choice = "row 1: PosComp 144 chooses byte 9 for the high byte; a frame has B1 to B8";
        const QString question = "The receive byte map has 1 error:\n\n" + choice + "\n\nSave anyway?";
        const QString unstored =
            "The index 9 typed in \"Index MODBUS\" was not stored with New or Modify.\n\nSave the byte map without it?";
        const QString errorRow = R"(<row Index="10" NrPdo="1" PosComp="144"/>)";
        QTest::newRow("errors, No") << Direction::Receive << errorRow << "" << false << QStringList{question} << "";
        QTest::newRow("errors, Yes") << Direction::Receive << errorRow << "" << true << QStringList{question} << "";
        QTest::newRow("an unstored index first, then the errors")
            << Direction::Receive << errorRow << "9" << true << QStringList{unstored, question} << "";
        QTest::newRow("an unstored index, No: the errors are not asked about")
            << Direction::Receive << errorRow << "9" << false << QStringList{unstored} << "";
        QTest::newRow("the transmit map")
            << Direction::Transmit << R"(<row Index="10" NrPdo="1" PosComp="144" Write_J1939="0"/>)" << "" << false
            << QStringList{"The transmit byte map has 1 error:\n\n" + choice + "\n\nSave anyway?"} << "";
        QTest::newRow("warnings only: not asked")
            << Direction::Receive << R"(<row Index="10" NrPdo="1" PosComp="1"/><row Index="11" NrPdo="1" PosComp="1"/>)"
            << "" << false << QStringList{} << "";
        QTest::newRow("an Index that is not an integer: refused first")
            << Direction::Receive << R"(<row Index="10" NrPdo="1" PosComp="144"/><row Index="x" NrPdo="1" PosComp="1"/>)"
            << "" << true << QStringList{} << "'x' is not a valid integer value";
    }
    void okAsksAboutErrors()
    {
        QFETCH(Direction, direction);
        QFETCH(QString, rows);
        QFETCH(QString, typed);
        QFETCH(bool, answer);
        QFETCH(QStringList, asked);
        QFETCH(QString, refused);
        EditorFixture f(direction);
        f.writeFrames(1);
        f.writeMap(rows.toStdString());
        const std::string document = f.map();
        f.showActive();
        f.pickFrame(0);
        if (!typed.isEmpty()) TypeIndex(f, typed);
        f.boxes.answer = answer;
        f.press("bitbtn1");

        Boxes expected;
        for (const QString& text : asked) expected.push_back({ShownBox::Question, text});
        if (!refused.isEmpty()) expected.push_back(Toolkit(refused));
        QCOMPARE(f.boxes.shown, expected);
        const bool written = refused.isEmpty() && (asked.isEmpty() || answer);
        QCOMPARE(f.editor->isVisible(), !written);
        if (written) {
            QCOMPARE(f.editor->result(), int(QDialog::Accepted));
            QCOMPARE(f.map(), ByteMapXml(direction, f.editor->byteMap()));
        } else {
            QCOMPARE(f.map(), document);
        }
    }
};

QTEST_MAIN(ByteMapEditorFindingsTest)
#include "byte_map_editor_findings_test.moc"
