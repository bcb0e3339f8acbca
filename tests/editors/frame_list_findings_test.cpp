// The project check in the frame list editors: the findings of the list as OK would write it at
// their cells and in the line under the grid, F8 and Shift+F8, OK with errors, and the time a
// keystroke takes on the largest project.
#include "documents/frame_list_document.h"
#include "documents/project_documents.h"
#include "editors/finding_marks.h"
#include "editors/frame_list_editor.h"
#include "image/project_check.h"
#include "tests/editors/frame_list_editor_fixture.h"
#include "tests/support/stored_zip.h"

#include <QAccessible>
#include <QApplication>
#include <QIcon>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

using namespace trelvant;
using namespace trelvant::test;

namespace {

using Boxes = std::vector<ShownBox>;

// The rows of the receive list that F8 goes through: findings at the PGN of rows 1, 2 and 5 and at
// row 3's ID Device.
const Cells kFourFindings{{"w", "0", "N", ""}, {"x", "0", "N", ""}, {"3", "300", "N", ""}, {"4", "0", "N", ""},
                          {"y", "1", "N", ""}};

void ShowActive(const EditorFixture& f)
{
    f.show();
    f.editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.editor.get()));
}

// The keys of text typed into the cell, and Tab, which stores it and goes on.
void Type(const EditorFixture& f, int row, int column, const QString& text)
{
    f.grid()->setFocus();
    f.grid()->setCurrentCell(row - 1, column);
    for (const QChar c : text) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

// What a screen reader is told of a cell.
QString Described(QTableWidget* grid, int row, int column)
{
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    return table->tableInterface()->cellAt(row - 1, column)->text(QAccessible::Description);
}

// The marks of rows 1 to 6: the expected "row,column\ttip" lines, every other cell unmarked. A mark
// is the tip, the description a screen reader gets, the tint of the severity and its icon.
void CheckCells(const EditorFixture& f, const QStringList& marks)
{
    QTableWidget* grid = f.grid();
    for (int row = 1; row <= 6; ++row)
        for (int column = 1; column < grid->columnCount(); ++column) {
            const QString place = QStringLiteral("%1,%2").arg(row).arg(column);
            QString tip;
            for (const QString& mark : marks)
                if (mark.section('\t', 0, 0) == place) tip = mark.section('\t', 1);
            const QTableWidgetItem* item = grid->item(row - 1, column);
            const auto data = [item](int role) { return item ? item->data(role) : QVariant(); };
            const QByteArray where = place.toLatin1();
            QVERIFY2(data(Qt::ToolTipRole).toString() == tip, where + ": " + data(Qt::ToolTipRole).toString().toUtf8());
            QVERIFY2(Described(grid, row, column) == tip, where + ": " + Described(grid, row, column).toUtf8());
            QVERIFY2(data(Qt::DecorationRole).value<QIcon>().isNull() == tip.isEmpty(), where);
            if (tip.isEmpty()) {
                QVERIFY2(!data(Qt::BackgroundRole).isValid(), where);
                continue;
            }
            const Severity severity = tip.startsWith("Error") ? Severity::Error : Severity::Warning;
            QVERIFY2(data(Qt::BackgroundRole).value<QBrush>().color() == FindingTint(severity), where);
        }
}

QString CurrentCell(const EditorFixture& f)
{
    return QStringLiteral("%1,%2").arg(f.grid()->currentRow() + 1).arg(f.grid()->currentColumn());
}

}  // namespace

class FrameListFindingsTest : public QObject {
    Q_OBJECT

private slots:
    // Values saved before (by hand, an import, an earlier version) or typed now that the image
    // cannot hold as they are: each at its cell, all of them counted in the line under the grid.
    void aValueShowsItsFindingAtItsCell_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<bool>("pargen");       // false: a project without communication settings
        QTest::addColumn<Cells>("saved");       // the document loaded
        QTest::addColumn<QStringList>("typed"); // "row,column,text", typed key by key after the load
        QTest::addColumn<QStringList>("marks");
        QTest::addColumn<QString>("line");
        const auto receive = Direction::Receive, transmit = Direction::Transmit;
        const QString once = ": the device takes the frames of one PGN and device into one row only";
        QTest::newRow("a receive PGN x, typed")
            << receive << true << Cells{} << QStringList{"1,1,x", "1,2,0"}
            << QStringList{"1,1\tError: attribute \"PGN\": 'x' is not a valid integer value"} << "1 error";
        QTest::newRow("a receive PGN 12abc, saved")
            << receive << true << Cells{{"12abc", "0", "N", ""}} << QStringList{}
            << QStringList{"1,1\tError: attribute \"PGN\": '12abc' is not a valid integer value"} << "1 error";
        QTest::newRow("a transmit PGN 70000, saved: it reaches into the data page")
            << transmit << true << Cells{{"6", "0", "70000", "0", ""}} << QStringList{}
            << QStringList{"1,3\tError: PGN 70000 is outside 0 to 65535 (field of 16 bits)",
                           "1,2\tError: data page 0 is stored as 1: the PGN 70000 below it reaches into its field"}
            << "2 errors";
        QTest::newRow("two receive rows of one PGN and device: both rows")
            << receive << true << Cells{{"61444", "0", "N", ""}, {"1", "0", "N", ""}, {"0xF004", "0", "N", ""}}
            << QStringList{}
            << QStringList{"3,1\tError: PGN 61444 from device 0 is also in row 1" + once,
                           "1,1\tError (RCobDef.xml, row 3): PGN 61444 from device 0 is also in row 1" + once}
            << "1 error";
        QTest::newRow("a transmit priority 9, typed")
            << transmit << true << Cells{} << QStringList{"1,1,9", "1,2,0", "1,3,65262", "1,4,0"}
            << QStringList{"1,1\tError: priority 9 is outside 0 to 7 (field of 3 bits)"} << "1 error";
        QTest::newRow("a receive device address 300, saved")
            << receive << true << Cells{{"61444", "300", "N", ""}} << QStringList{}
            << QStringList{"1,2\tError: device address 300 is cut to 44 (field of 8 bits)"} << "1 error";
        QTest::newRow("a transmit device address 300, typed: it reaches into the PGN")
            << transmit << true << Cells{{"6", "0", "65262", "0", ""}} << QStringList{"1,4,300"}
            << QStringList{"1,4\tError: device address 300 is outside 0 to 255 (field of 8 bits)",
                           "1,3\tError: PGN 65262 is stored as 65263: the device address 300 below it reaches into its field"}
            << "2 errors";
        QTest::newRow("a PGN no J1939 frame carries: a warning")
            << receive << true << Cells{} << QStringList{"1,1,300000", "1,2,0"}
            << QStringList{"1,1\tWarning: PGN 300000 is above 262143: no J1939 frame carries it"} << "1 warning";
        QTest::newRow("without communication settings the frames have 11-bit identifiers")
            << receive << false << Cells{{"2047", "0", "N", ""}, {"2048", "0", "N", ""}} << QStringList{}
            << QStringList{"2,1\tError: identifier 2048 is outside 0 to 2047, as without pargen.xml the frames have 11-bit identifiers"} << "1 error";
        QTest::newRow("a value typed right takes the mark away")
            << receive << true << Cells{{"12abc", "0", "N", ""}} << QStringList{"1,1,12"} << QStringList{}
            << "No problems found";
        QTest::newRow("rows after the list's end are not written, nor checked")
            << transmit << true << Cells{} << QStringList{"2,1,9", "2,4,300"} << QStringList{} << "No problems found";
    }
    void aValueShowsItsFindingAtItsCell()
    {
        QFETCH(Direction, direction);
        QFETCH(bool, pargen);
        QFETCH(Cells, saved);
        QFETCH(QStringList, typed);
        QFETCH(QStringList, marks);
        QFETCH(QString, line);
        EditorFixture f(direction);
        if (!pargen) std::filesystem::remove(f.dir / "pargen.xml");
        f.writeDocument(FrameListXml(direction, ToRows(saved)));
        ShowActive(f);
        for (const QString& typing : typed)
            Type(f, typing.section(',', 0, 0).toInt(), typing.section(',', 1, 1).toInt(), typing.section(',', 2));
        CheckCells(f, marks);
        QCOMPARE(f.editor->findingsLine()->text(), line);
        QCOMPARE(QAccessible::queryAccessibleInterface(f.editor->findingsLine())->text(QAccessible::Description), line);
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    // Rows put in, rows taken out and an import change the list: each is checked once done.
    void rowCommandsAndImportAreChecked()
    {
        EditorFixture f(Direction::Receive);
        f.writeDocument(FrameListXml(Direction::Receive, {{"61444", "0", "N", ""}, {"1", "0", "N", ""}, {"0xF004", "0", "N", ""}}));
        ShowActive(f);
        const QString twice = "PGN 61444 from device 0 is also in row 1: the device takes the frames of one PGN and "
                              "device into one row only";
        const QStringList duplicate{"3,1\tError: " + twice, "1,1\tError (RCobDef.xml, row 3): " + twice};
        CheckCells(f, duplicate);
        f.grid()->setFocus();
        f.grid()->setCurrentCell(1, 1);
        // An empty row 2 ends the list before the second frame of the PGN.
        QTest::keyClick(f.grid(), Qt::Key_Insert, Qt::ControlModifier);
        CheckCells(f, {});
        QCOMPARE(f.editor->findingsLine()->text(), QString("No problems found"));
        QTest::keyClick(f.grid(), Qt::Key_Delete, Qt::ControlModifier);
        CheckCells(f, duplicate);
        f.grid()->setCurrentCell(0, 2);
        QTest::keyClick(f.grid(), Qt::Key_Delete, Qt::ControlModifier);
        CheckCells(f, {});

#ifndef TRELVANT_WITHOUT_IMPORT
        ScriptedFileChooser files;
        f.editor->setFileChooser(files);
        const std::filesystem::path workbook = f.dir / "book.xlsx";
        WriteText(workbook, StoredZip({
            {"_rels/.rels", R"(<Relationships><Relationship Id="a" Type="x/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
            {"xl/workbook.xml", R"(<workbook><sheets><sheet name="rpdodef" r:id="s"/></sheets></workbook>)"},
            {"xl/_rels/workbook.xml.rels", R"(<Relationships><Relationship Id="s" Type="x/worksheet" Target="sheet.xml"/></Relationships>)"},
            {"xl/sheet.xml", R"(<worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>PGN</t></is></c></row>)"
                             R"(<row r="2"><c r="A2"><v>61444</v></c><c r="B2"><v>0</v></c></row>)"
                             R"(<row r="3"><c r="A3"><v>61444</v></c><c r="B3"><v>300</v></c></row></sheetData></worksheet>)"}}));
        files.answer = FromPath(workbook);
        f.press("bitbtn4");
        QCOMPARE(f.boxes.shown, Boxes{});
        CheckCells(f, {"2,2\tError: device address 300 is cut to 44 (field of 8 bits)"});
#endif
    }

    // F8 and Shift+F8 make the next and the previous cell with findings current, in row order and
    // then column, going round, with the keyboard in the grid; a cell being typed in is stored and
    // checked first. Before the user has been in the grid, they start from its ends.
    void f8GoesToTheCellsWithFindings_data()
    {
        QTest::addColumn<QString>("from");     // the current cell, "row,column"; empty: as the showing leaves it
        QTest::addColumn<QString>("editing");  // typed into it and not yet stored; empty: none
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("reached");
        QTest::newRow("F8 from row 1's first cell, round") << "1,1" << "" << QStringList{"F8", "F8", "F8", "F8"}
                                                           << QStringList{"2,1", "3,2", "5,1", "1,1"};
        QTest::newRow("Shift+F8 from row 1's first cell, round")
            << "1,1" << "" << QStringList{"Shift+F8", "Shift+F8", "Shift+F8", "Shift+F8"}
            << QStringList{"5,1", "3,2", "2,1", "1,1"};
        QTest::newRow("F8 just after the showing: the first") << "" << "" << QStringList{"F8", "F8"}
                                                               << QStringList{"1,1", "2,1"};
        QTest::newRow("Shift+F8 just after the showing: the last") << "" << "" << QStringList{"Shift+F8"}
                                                                    << QStringList{"5,1"};
        QTest::newRow("F8 in a grid scrolled sideways") << "sideways" << "" << QStringList{"F8", "F8"}
                                                        << QStringList{"1,1", "2,1"};
        QTest::newRow("F8 and Shift+F8 from between two cells in a row")
            << "3,1" << "" << QStringList{"F8", "Shift+F8", "Shift+F8"} << QStringList{"3,2", "2,1", "1,1"};
        QTest::newRow("F8 while typing a value with a finding")
            << "4,1" << "z" << QStringList{"F8", "Shift+F8"} << QStringList{"5,1", "4,1"};
        QTest::newRow("F8 while typing a value right") << "2,1" << "2" << QStringList{"F8", "Shift+F8"}
                                                       << QStringList{"3,2", "1,1"};
    }
    void f8GoesToTheCellsWithFindings()
    {
        QFETCH(QString, from);
        QFETCH(QString, editing);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, reached);
        EditorFixture f(Direction::Receive);
        f.writeDocument(FrameListXml(Direction::Receive, ToRows(kFourFindings)));
        ShowActive(f);
        if (from == "sideways") {
            // The PGN column scrolled away, under the row numbers that stay at the left edge.
            f.grid()->setColumnWidth(4, 1000);
            QCoreApplication::processEvents();
            f.grid()->horizontalScrollBar()->setValue(f.grid()->horizontalScrollBar()->maximum());
        } else if (!from.isEmpty()) {
            f.grid()->setFocus();
            f.grid()->setCurrentCell(from.section(',', 0, 0).toInt() - 1, from.section(',', 1, 1).toInt());
        }
        for (const QChar c : editing) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        if (editing.isEmpty()) f.editor->findChild<QWidget*>("bitbtn1")->setFocus();  // F8 from anywhere in the dialog
        for (int i = 0; i < keys.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F8, keys[i] == "F8" ? Qt::NoModifier : Qt::ShiftModifier);
            QVERIFY2(CurrentCell(f) == reached[i], qPrintable(QString::number(i) + ": " + keys[i] + " reached " + CurrentCell(f)));
            QCOMPARE(QApplication::focusWidget(), f.grid());
            // In sight, right of the row numbers.
            const QRect cell = f.grid()->visualRect(f.grid()->currentIndex());
            QVERIFY2(cell.left() >= f.grid()->columnWidth(0) && cell.right() <= f.grid()->viewport()->width(),
                     qPrintable(QDebug::toString(cell)));
        }
        if (!editing.isEmpty()) QCOMPARE(f.cell(from.section(',', 0, 0).toInt(), 1), editing);
        QCOMPARE(f.boxes.shown, Boxes{});
    }

    // OK: the row checks refuse first, then the rows after the list's end are asked about, then,
    // once, the errors of the list, No the default: No keeps the dialog and writes nothing.
    // Warnings are not asked about.
    void okAsksAboutErrors_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<Cells>("saved");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("refused");  // the row check's error box; empty: none
        const QString pgn70000 = "The transmit list has 2 errors:\n\n"
                                 "row 1: data page 0 is stored as 1: the PGN 70000 below it reaches into its field\n"
                                 "row 1: PGN 70000 is outside 0 to 65535 (field of 16 bits)\n\nSave anyway?";
        const QString pgnX = "The receive list has 1 error:\n\nrow 1: attribute \"PGN\": 'x' is not a valid integer value"
                             "\n\nSave anyway?";
        const QString lost = "The list ends at row 2, whose PGN cell is empty. 1 row from there on holds data and would "
                             "not be saved.\n\nSave the list without it?";
        const Cells transmitError{{"6", "0", "70000", "0", ""}};
        const Cells receiveError{{"x", "0", "N", ""}};
        const Cells receiveErrorThenEnd{{"x", "0", "N", ""}, {"", "", "N", ""}, {"3", "0", "N", ""}};
        QTest::newRow("errors, No") << Direction::Transmit << transmitError << false << QStringList{pgn70000} << "";
        QTest::newRow("errors, Yes") << Direction::Transmit << transmitError << true << QStringList{pgn70000} << "";
        QTest::newRow("receive errors, Yes") << Direction::Receive << receiveError << true << QStringList{pgnX} << "";
        QTest::newRow("warnings only: not asked")
            << Direction::Receive << Cells{{"300000", "0", "N", ""}} << false << QStringList{} << "";
        QTest::newRow("a row check refuses first")
            << Direction::Receive << Cells{{"x", "300", "N", ""}} << true << QStringList{}
            << "Error in row 1!! The ID Device must be between 0 and 239";
        QTest::newRow("rows after the list's end, then the errors")
            << Direction::Receive << receiveErrorThenEnd << true << QStringList{lost, pgnX} << "";
        QTest::newRow("rows after the list's end, No: the errors are not asked about")
            << Direction::Receive << receiveErrorThenEnd << false << QStringList{lost} << "";
    }
    void okAsksAboutErrors()
    {
        QFETCH(Direction, direction);
        QFETCH(Cells, saved);
        QFETCH(bool, answer);
        QFETCH(QStringList, asked);
        QFETCH(QString, refused);
        EditorFixture f(direction);
        // The document as it was, and the grid after a change that the check does not look at.
        const std::string document = FrameListXml(direction, ToRows(saved));
        f.writeDocument(document);
        f.show();
        f.fill(saved);  // with the rows after the list's end, which the document leaves out
        f.type(1, f.grid()->columnCount() - 1, "changed");
        const std::vector<FrameRow> rows = f.editor->gridRows();
        f.boxes.answer = answer;
        f.press("bitbtn1");

        Boxes expected;
        if (!refused.isEmpty()) expected.push_back({ShownBox::Error, refused});
        for (const QString& text : asked) expected.push_back({ShownBox::Question, text});
        QCOMPARE(f.boxes.shown, expected);
        const bool written = refused.isEmpty() && (asked.isEmpty() || answer);
        QCOMPARE(f.editor->isVisible(), !written);
        QCOMPARE(f.readDocument(), written ? FrameListXml(direction, rows) : document);
        if (written) QCOMPARE(f.editor->result(), int(QDialog::Accepted));
    }

    // The largest project: 250 frames each way and byte maps of 2912 and 2976 rows. Each stored
    // cell is checked against the whole project (how long it takes is measured in bench/).
    void theLargestProjectIsCheckedAtEachStoredCell()
    {
        EditorFixture f(Direction::Transmit);
        std::vector<FrameRow> rows;
        for (int i = 0; i < 250; ++i)
            rows.push_back({"6", "0", std::to_string(0xFE00 + i), std::to_string(i % 240), "frame " + std::to_string(i)});
        f.writeDocument(FrameListXml(Direction::Transmit, rows));
        std::vector<FrameRow> received;
        for (int i = 0; i < 250; ++i) received.push_back({std::to_string(0xFE00 + i), "0", "N", "frame"});
        WriteText(FrameListPath(f.dir.path(), Direction::Receive), FrameListXml(Direction::Receive, received));
        // Twelve registers a frame, each on a byte of its own or on none; no index used twice.
        for (const auto& [name, count, first] : {std::tuple{"RInfoCob", 2912, 100}, std::tuple{"TInfoCob", 2976, 4000}}) {
            std::string map = "<" + std::string(name) + ">";
            for (int i = 0; i < count; ++i)
                map += "<row Index=\"" + std::to_string(first + i) + "\" NrPdo=\"" + std::to_string(1 + i / 12) + "\" PosComp=\"" +
                       std::to_string(i % 12 < 8 ? i % 12 + 1 : 0) + "\" Write_J1939=\"0\"/>";
            WriteText(f.dir / (std::string(name) + ".xml"), map + "</" + name + ">");
        }
        ShowActive(f);
        QCOMPARE(f.editor->findingsLine()->text(), QString("No problems found"));

        for (int i = 0; i < 4; ++i) {
            f.grid()->setFocus();
            f.grid()->setCurrentCell(124, 1);
            QTest::keyClick(QApplication::focusWidget(), i % 2 ? '6' : '9');
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // stores the cell
            QCOMPARE(f.editor->findingsLine()->text(), QString(i % 2 ? "No problems found" : "1 error"));
            const QModelIndex priority = f.grid()->model()->index(124, 1);
            QCOMPARE(priority.data(Qt::AccessibleDescriptionRole).toString().isEmpty(), i % 2 == 1);
        }
    }
};

QTEST_MAIN(FrameListFindingsTest)
#include "frame_list_findings_test.moc"
