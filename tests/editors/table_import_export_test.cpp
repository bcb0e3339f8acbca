#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "documents/pargen_document.h"
#include "editors/byte_map_editor.h"
#include "editors/frame_list_editor.h"
#include "platform/platform.h"
#include "project/project_state.h"
#include "platform/file_names.h"
#include "tests/support/recording_platform.h"
#include "tests/support/stored_zip.h"
#include "tests/support/temp_folder.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace trelvant;
using trelvant::test::ShownBox;

namespace {

using Boxes = std::vector<ShownBox>;
using Cells = QList<QStringList>;  // grid rows from row 1, texts of columns 1 and up

QString Workbook(const QString& name)
{
    return QStringLiteral(TRELVANT_WORKBOOKS "/") + name;
}

// A project folder with the recording platform; the editor under test is made on it.
struct Project {
    test::TempFolder dir;
    test::RecordingMessageBoxes boxes;
    test::ScriptedFileChooser files;
    ProjectState state;

    Project()
    {
        state.folder = FromPath(dir.path());
        BuildDocumentPaths(state);
    }
    template <typename Editor>
    std::unique_ptr<Editor> editor()
    {
        auto made = std::make_unique<Editor>(state, boxes);
        made->setFileChooser(files);
        made->show();
        return made;
    }
    static void press(QWidget* dialog, const char* name)
    {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    void importFrom(QWidget* dialog, const std::optional<QString>& workbook)
    {
        files.answer = workbook;
        press(dialog, "bitbtn4");
    }
    std::string exported(const char* name) const { return test::ReadText(dir / name); }
    // Two receive frames, each with one register (Index 40 and 41) that an import replaces.
    void writeTwoReceiveFrames() const
    {
        test::WriteText(dir / "RCobDef.xml", R"(<COBID><row PGN="1" ID_DEV="1"/><row PGN="2" ID_DEV="2"/></COBID>)");
        test::WriteText(dir / "RInfoCob.xml",
                        R"(<RInfoCob><row Index="40" NrPdo="1" PosComp="1"/><row Index="41" NrPdo="2" PosComp="1"/></RInfoCob>)");
    }
};

Cells GridCells(const QTableWidget* grid, int rows)
{
    Cells cells;
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        for (int c = 1; c < grid->columnCount(); ++c) row << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
        cells << row;
    }
    return cells;
}

void Fill(QTableWidget* grid, const Cells& cells)
{
    for (int r = 0; r < cells.size(); ++r)
        for (int c = 0; c < cells[r].size(); ++c) {
            // As typing does: the cell's item, a Delete cell's check box among them, keeps its kind.
            if (QTableWidgetItem* item = grid->item(r, c + 1)) item->setText(cells[r][c]);
            else grid->setItem(r, c + 1, new QTableWidgetItem(cells[r][c]));
        }
}

// An .xlsx of one worksheet of that name in the folder, its rows after a title row given.
QString OneSheetXlsx(const std::filesystem::path& folder, const std::string& sheetName, const std::string& rows)
{
    const std::filesystem::path workbook = folder / "book.xlsx";
    test::WriteText(workbook, test::StoredZip({
        {"_rels/.rels", R"(<Relationships><Relationship Id="a" Type="x/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
        {"xl/workbook.xml", R"(<workbook><sheets><sheet name=")" + sheetName + R"(" r:id="s"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels", R"(<Relationships><Relationship Id="s" Type="x/worksheet" Target="sheet.xml"/></Relationships>)"},
        {"xl/sheet.xml", R"(<worksheet><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>title</t></is></c></row>)" + rows +
                             "</sheetData></worksheet>"}}));
    return FromPath(workbook);
}

// The workbook kinds this build reads: .xls only where FreeXL is built in (not on Windows).
void AddFormats()
{
    QTest::addColumn<QString>("extension");
#ifdef TRELVANT_WITH_XLS
    QTest::newRow("xls") << "xls";
#endif
    for (const char* extension : {"xlsx", "ods"}) QTest::newRow(extension) << extension;
}

}  // namespace

class TableImportExportTest : public QObject {
    Q_OBJECT

private slots:
    void frameListImportReplacesTheGrid_data() { AddFormats(); }
    void frameListImportReplacesTheGrid()
    {
        QFETCH(QString, extension);
        Project p;
        auto editor = p.editor<TFpdoMB>();
        Fill(editor->sgA(), {{"1", "1", "N", "old"}, {"2", "2"}, {"3", "3"}, {"4", "4"}, {"5", "5"}});
        p.importFrom(editor.get(), Workbook("receive_frames." + extension));
        QCOMPARE(p.boxes.shown, Boxes{});
        QCOMPARE(GridCells(editor->sgA(), 5), (Cells{{"61444", "0", "Y", "Engine speed"},
                                                     {"0xFEF1", "3", "", "Vehicle, speed"},
                                                     {"", "5", "", ""},
                                                     {"", "", "", ""},
                                                     {"", "", "", ""}}));
        QCOMPARE(editor->sgA()->item(4, 0)->text(), QString("5"));  // the row numbers stay
        QCOMPARE(p.files.calls.size(), 1u);
        QCOMPARE(p.files.calls[0].folder, p.state.folder);
        QCOMPARE(p.files.calls[0].filters,
                 (QStringList{"File EXCEL (*.xls *.xlsx *.ods)", "File EXCEL (*.xls)"}));
        QVERIFY(!std::filesystem::exists(FrameListPath(p.dir.path(), Direction::Receive)));  // only OK writes
    }

    // A failed import leaves the grid as it was and says why; cancelling the file dialog says nothing.
    void frameListImportFailuresKeepTheGridAndAreTold_data()
    {
        QTest::addColumn<QString>("workbook");  // empty: the user cancels
        QTest::addColumn<QString>("told");      // how the message starts, %1 the file's path
        QTest::newRow("cancelled") << "" << "";
        QTest::newRow("no rpdodef worksheet") << Workbook("receive_map.xlsx") << "%1: no worksheet named rpdodef";
        QTest::newRow("not a workbook") << Workbook("not_a_workbook.xls") << "%1 is not a workbook that can be read";
        QTest::newRow("truncated") << Workbook("receive_map_truncated.xlsx") << "%1 is not a workbook that can be read";
        QTest::newRow("no such file") << Workbook("missing.xls") << "Unable to read %1: ";
    }
    void frameListImportFailuresKeepTheGridAndAreTold()
    {
        QFETCH(QString, workbook);
        QFETCH(QString, told);
        Project p;
        test::WriteText(p.dir / "pargen.xml", PargenXml({}));  // J1939 frames: the editor's check finds nothing
        auto editor = p.editor<TFTpdo2MB>();
        const Cells typed{{"6", "0", "61444", "0", "Torque"}};
        Fill(editor->sgA(), typed);
        p.importFrom(editor.get(), workbook.isEmpty() ? std::nullopt : std::optional<QString>(workbook));
        QCOMPARE(GridCells(editor->sgA(), 1), typed);
        if (told.isEmpty()) {
            QCOMPARE(p.boxes.shown, Boxes{});
            return;
        }
        QCOMPARE(p.boxes.shown.size(), 1u);
        QCOMPARE(p.boxes.shown[0].kind, ShownBox::Toolkit);
        const QString expected = told.arg(QString::fromStdString(DisplayPath(ToPath(workbook))));
        QVERIFY2(p.boxes.shown[0].text.startsWith(expected), qPrintable(p.boxes.shown[0].text));
        // OK afterwards writes what the user had, not an empty list.
        Project::press(editor.get(), "bitbtn1");
        QCOMPARE(test::ReadText(FrameListPath(p.dir.path(), Direction::Transmit)),
                 FrameListXml(Direction::Transmit, {{"6", "0", "61444", "0", "Torque"}}));
    }

    // A cell holding a control character: the editors say which, in their error box, and keep
    // what they held.
    void importsRefuseControlCharacters_data()
    {
        QTest::addColumn<bool>("byteMap");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("told");  // after "<file>, worksheet <name>: "
        QTest::newRow("NUL in a mnemonic")
            << false << R"(<row r="2"><c r="A2"><v>1</v></c><c r="D2" t="inlineStr"><is><t>a&#0;b</t></is></c></row>)"
            << "cell D2 (record 1) holds the control character 0x00, which a document cannot hold";
        QTest::newRow("escape after an empty row")
            << false << R"(<row r="2"><c r="A2"><v>1</v></c></row><row r="4"><c r="B4" t="inlineStr"><is><t>&#x1b;</t></is></c></row>)"
            << "cell B4 (record 3) holds the control character 0x1B, which a document cannot hold";
        QTest::newRow("0x01 in an Index")
            << true << R"(<row r="2"><c r="A2" t="inlineStr"><is><t>&#1;</t></is></c><c r="B2"><v>1</v></c><c r="C2"><v>1</v></c></row>)"
            << "cell A2 (record 1) holds the control character 0x01, which a document cannot hold";
    }
    void importsRefuseControlCharacters()
    {
        QFETCH(bool, byteMap);
        QFETCH(QString, rows);
        QFETCH(QString, told);
        Project p;
        if (byteMap) p.writeTwoReceiveFrames();
        const QString workbook = OneSheetXlsx(p.dir.path(), byteMap ? "RInfoCob" : "rpdodef", rows.toStdString());
        const QString where = QString::fromStdString(DisplayPath(ToPath(workbook))) +
                              (byteMap ? ", worksheet RInfoCob: " : ", worksheet rpdodef: ");
        if (byteMap) {
            auto editor = p.editor<TFInfopdoMB>();
            const ByteMap before = editor->byteMap();
            p.importFrom(editor.get(), workbook);
            QCOMPARE(p.boxes.shown, (Boxes{{ShownBox::Toolkit, where + told}}));
            QCOMPARE(editor->byteMap(), before);
            QVERIFY(editor->isVisible());
            return;
        }
        auto editor = p.editor<TFpdoMB>();
        const Cells typed{{"7", "7", "N", "typed"}};
        Fill(editor->sgA(), typed);
        p.importFrom(editor.get(), workbook);
        QCOMPARE(p.boxes.shown, (Boxes{{ShownBox::Toolkit, where + told}}));
        QCOMPARE(GridCells(editor->sgA(), 1), typed);
        QVERIFY(editor->isVisible());
    }

    // Records after an empty row land in the grid as they stand; OK asks before it saves the list
    // without them, as it does for rows typed there.
    void recordsAfterAnEmptyRowAreShownAndOkAsks()
    {
        Project p;
        auto editor = p.editor<TFpdoMB>();
        p.importFrom(editor.get(), OneSheetXlsx(p.dir.path(), "rpdodef",
                                                R"(<row r="2"><c r="A2"><v>61444</v></c><c r="B2"><v>0</v></c></row>)"
                                                R"(<row r="4"><c r="A4"><v>61445</v></c><c r="B4"><v>1</v></c></row>)"
                                                R"(<row r="5"><c r="A5"><v>61446</v></c><c r="B5"><v>2</v></c></row>)"));
        QCOMPARE(p.boxes.shown, Boxes{});
        QCOMPARE(GridCells(editor->sgA(), 5), (Cells{{"61444", "0", "", ""},
                                                     {"", "", "", ""},
                                                     {"61445", "1", "", ""},
                                                     {"61446", "2", "", ""},
                                                     {"", "", "", ""}}));
        p.boxes.answer = false;  // keep the dialog open
        Project::press(editor.get(), "bitbtn1");
        QCOMPARE(p.boxes.shown.size(), 1u);
        QCOMPARE(p.boxes.shown[0].kind, ShownBox::Question);
        QVERIFY2(p.boxes.shown[0].text.startsWith("The list ends at row 2, whose "), qPrintable(p.boxes.shown[0].text));
        QVERIFY2(p.boxes.shown[0].text.contains("2 rows from there on hold data"), qPrintable(p.boxes.shown[0].text));
        QVERIFY(!std::filesystem::exists(FrameListPath(p.dir.path(), Direction::Receive)));
        QVERIFY(editor->isVisible());
    }

    void transmitFrameListImportTakesFiveColumns()
    {
        Project p;
        test::WriteText(p.dir / "pargen.xml", PargenXml({}));  // J1939 frames: the editor's check finds nothing
        auto editor = p.editor<TFTpdo2MB>();
        p.importFrom(editor.get(), Workbook("transmit_frames.ods"));
        QCOMPARE(GridCells(editor->sgA(), 3),
                 (Cells{{"6", "0", "61444", "0", "Torque"}, {"7", "1", "$FEF1", "239", ""}, {"", "", "", "", ""}}));
        Project::press(editor.get(), "bitbtn1");
        QCOMPARE(p.boxes.shown, Boxes{});
        QCOMPARE(test::ReadText(FrameListPath(p.dir.path(), Direction::Transmit)),
                 FrameListXml(Direction::Transmit, {{"6", "0", "61444", "0", "Torque"}, {"7", "1", "$FEF1", "239", ""}}));
    }

    void recordsBeyondTheListAreLeftOutAndTold()
    {
        Project p;
        auto editor = p.editor<TFpdoMB>();
        p.importFrom(editor.get(), Workbook("many_frames.xlsx"));
        QCOMPARE(p.boxes.shown,
                 (Boxes{{ShownBox::Plain,
                         "The list holds 250 frames: the last 10 records of the worksheet were not imported."}}));
        QCOMPARE(GridCells(editor->sgA(), 250).last(), (QStringList{"61689", "9", "N", "Frame 249"}));
    }

    void frameListExport()
    {
        Project p;
        auto editor = p.editor<TFpdoMB>();
        // Unconfirmed edits are exported; the list ends before row 3.
        Fill(editor->sgA(), {{"61444", "0", "Y", "a"}, {"0xFEF1", "3"}, {"", "9"}, {"7", "7"}});
        Project::press(editor.get(), "button1");
        const QString csv = QString::fromStdString(DisplayPath(p.dir / "rpdodef.csv"));
        QCOMPARE(p.boxes.shown, (Boxes{{ShownBox::Plain, "Exported to " + csv}}));
        QCOMPARE(p.exported("rpdodef.csv"),
                 std::string("cobid,id_dev_orig,en_bypass,posind,n_tpdo \r\n61444,0,0,0,0\r\n0xFEF1,3,0,0,0\r\n"));
        QVERIFY(editor->isVisible());

        // A file that cannot be written: the toolkit's error box, the editor stays.
        std::filesystem::remove_all(p.dir.path());
        p.boxes.shown.clear();
        Project::press(editor.get(), "button1");
        QCOMPARE(p.boxes.shown.size(), 1u);
        QCOMPARE(p.boxes.shown[0].kind, ShownBox::Toolkit);
        QVERIFY(editor->isVisible());
    }

    void byteMapImportReplacesEveryRegister_data() { AddFormats(); }
    void byteMapImportReplacesEveryRegister()
    {
        QFETCH(QString, extension);
        Project p;
        p.writeTwoReceiveFrames();
        auto editor = p.editor<TFInfopdoMB>();
        editor->LPdoCanA()->select(0);
        editor->LPdoCanAClick();
        editor->LIndMbCanA()->select(0);
        editor->LIndMbCanAClick();
        QCOMPARE(editor->EindexA()->text(), QString("40"));

        p.boxes.answer = true;  // the two registers go
        p.importFrom(editor.get(), Workbook("receive_map." + extension));
        QCOMPARE(p.boxes.shown, (Boxes{{ShownBox::Question, "Replace the 2 registers of the map?"},
                                       {ShownBox::Plain, "RInfoCob: 2 registers imported, 1 row skipped: "
                                                         "row 4 names frame 5, the list has 2"}}));
        QCOMPARE(editor->byteMap()[0].registers, (std::vector<TClIndMB>{{"10", "33", ""}, {"11", "8", ""}}));
        QCOMPARE(editor->byteMap()[1].registers, std::vector<TClIndMB>{});
        // The frame picked stays and lists its new registers, none selected, the fields empty.
        QCOMPARE(editor->LPdoCanA()->selectedRow(), 0);
        QCOMPARE(editor->LIndMbCanA()->count(), 2);
        QCOMPARE(editor->LIndMbCanA()->item(1)->text(), QString("11  - B8"));
        QCOMPARE(editor->LIndMbCanA()->selectedRow(), -1);
        QCOMPARE(editor->EindexA()->text(), QString());

        p.boxes.shown.clear();
        Project::press(editor.get(), "button1");
        QCOMPARE(p.exported("RInfoCob.csv"), std::string("10,1,33,\r\n11,1,8,\r\n"));
        const QString csv = QString::fromStdString(DisplayPath(p.dir / "RInfoCob.csv"));

        // The imported registers are a change that Cancel does not drop unasked.
        p.boxes.answer = false;
        Project::press(editor.get(), "bitbtn2");
        QCOMPARE(p.boxes.shown, (Boxes{{ShownBox::Plain, "Exported to " + csv}, {ShownBox::Question, kDiscardChanges}}));
        QVERIFY(editor->isVisible());
    }

    void byteMapImportCases_data()
    {
        QTest::addColumn<QString>("workbook");
        QTest::addColumn<QString>("frameOne");  // Index:PosComp of frame 1's entries after the import
        QTest::addColumn<QString>("frameTwo");
        QTest::addColumn<QString>("summary");
        QTest::newRow("worksheet named RINFOCOB")
            << "receive_map_upper.xlsx" << "10:33 11:8" << ""
            << "RINFOCOB: 2 registers imported, 1 row skipped: row 4 names frame 5, the list has 2";
        QTest::newRow("frame number 129 is frame 1")
            << "receive_map_129.xlsx" << "10:33" << "0x20:17" << "RInfoCob: 2 registers imported";
    }
    void byteMapImportCases()
    {
        QFETCH(QString, workbook);
        QFETCH(QString, frameOne);
        QFETCH(QString, frameTwo);
        QFETCH(QString, summary);
        Project p;
        p.writeTwoReceiveFrames();
        auto editor = p.editor<TFInfopdoMB>();
        editor->EindexA()->setText("typed");
        p.boxes.answer = true;
        p.importFrom(editor.get(), Workbook(workbook));
        QCOMPARE(p.boxes.shown, (Boxes{{ShownBox::Question, "Replace the 2 registers of the map?"},
                                       {ShownBox::Plain, summary}}));
        QCOMPARE(editor->EindexA()->text(), QString());
        const auto entries = [&](int frame) {
            QStringList texts;
            for (const TClIndMB& entry : editor->byteMap()[frame].registers)
                texts << QString::fromStdString(entry.Index + ":" + entry.PosComp);
            return texts.join(' ');
        };
        QCOMPARE(entries(0), frameOne);
        QCOMPARE(entries(1), frameTwo);
    }

    // An import that cannot be taken whole leaves the editor as it was and says why: the file,
    // the worksheet and, for a frame number that cannot be used, the record (counted from 1).
    void byteMapImportFailuresKeepTheEditorAndAreTold_data()
    {
        QTest::addColumn<QString>("workbook");
        QTest::addColumn<QString>("told");  // %1 the file's path
        QTest::addColumn<bool>("whole");    // else how the message starts
        QTest::newRow("a bad frame number") << "receive_map_bad_frame.ods"
                                            << "%1, worksheet RInfoCob, record 2: 'x' is not a valid integer value" << true;
        QTest::newRow("two columns") << "receive_map_two_columns.xlsx"
                                     << "%1, worksheet RInfoCob, record 1: the worksheet has fewer than three columns"
                                     << true;
        QTest::newRow("no RInfoCob worksheet") << "receive_frames.xlsx" << "%1: no worksheet named RInfoCob" << true;
        QTest::newRow("not a workbook") << "not_a_workbook.xls" << "%1 is not a workbook that can be read" << true;
        QTest::newRow("truncated .ods") << "receive_map_truncated.ods"
                                        << "%1 is not a workbook that can be read: it is not a complete zip archive"
                                        << true;
        QTest::newRow("truncated .xlsx") << "receive_map_truncated.xlsx" << "%1 is not a workbook that can be read"
                                         << false;
        QTest::newRow("no such file") << "missing.xls" << "Unable to read %1: " << false;
    }
    void byteMapImportFailuresKeepTheEditorAndAreTold()
    {
        QFETCH(QString, workbook);
        QFETCH(QString, told);
        QFETCH(bool, whole);
        Project p;
        p.writeTwoReceiveFrames();
        auto editor = p.editor<TFInfopdoMB>();
        // The second frame's register shown, then its fields changed without New or Modify.
        editor->LPdoCanA()->select(1);
        editor->LPdoCanAClick();
        editor->LIndMbCanA()->select(0);
        editor->LIndMbCanAClick();
        editor->EindexA()->setText("typed");
        editor->PoscompMsbA()->setItemIndex(3);
        const ByteMap before = editor->byteMap();

        p.importFrom(editor.get(), Workbook(workbook));
        QCOMPARE(p.boxes.shown.size(), 1u);
        QCOMPARE(p.boxes.shown[0].kind, ShownBox::Toolkit);
        const QString expected = told.arg(QString::fromStdString(DisplayPath(ToPath(Workbook(workbook)))));
        if (whole) QCOMPARE(p.boxes.shown[0].text, expected);
        else QVERIFY2(p.boxes.shown[0].text.startsWith(expected), qPrintable(p.boxes.shown[0].text));
        QCOMPARE(editor->byteMap(), before);
        QCOMPARE(editor->LPdoCanA()->selectedRow(), 1);
        QCOMPARE(editor->LIndMbCanA()->count(), 1);
        QCOMPARE(editor->LIndMbCanA()->selectedRow(), 0);
        QCOMPARE(editor->EindexA()->text(), QString("typed"));
        QCOMPARE(editor->PoscompMsbA()->itemIndex(), 3);
        QCOMPARE(editor->PoscompLsbA()->itemIndex(), 1);
        QVERIFY(editor->isVisible());
        // Nothing changed: Cancel closes without asking.
        Project::press(editor.get(), "bitbtn2");
        QVERIFY(!editor->isVisible());
        QCOMPARE(p.boxes.shown.size(), 1u);
    }

    // An import into a map that holds registers asks first; No leaves the editor as it was, the
    // register shown and the fields typed over included, and says nothing more.
    void byteMapImportAsksBeforeReplacing_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("No") << false;
        QTest::newRow("Yes") << true;
    }
    void byteMapImportAsksBeforeReplacing()
    {
        QFETCH(bool, answer);
        Project p;
        p.writeTwoReceiveFrames();
        auto editor = p.editor<TFInfopdoMB>();
        editor->LPdoCanA()->select(1);
        editor->LPdoCanAClick();
        editor->LIndMbCanA()->select(0);
        editor->LIndMbCanAClick();
        editor->EindexA()->setText("typed");
        editor->PoscompMsbA()->setItemIndex(3);
        const ByteMap before = editor->byteMap();

        p.boxes.answer = answer;
        p.importFrom(editor.get(), Workbook("receive_map.xlsx"));
        const ShownBox question{ShownBox::Question, "Replace the 2 registers of the map?"};
        if (answer) {
            QCOMPARE(p.boxes.shown.size(), 2u);
            QCOMPARE(p.boxes.shown[0], question);
            QCOMPARE(editor->byteMap()[0].registers.size(), 2u);
            QCOMPARE(editor->LPdoCanA()->selectedRow(), 1);
            QCOMPARE(editor->LIndMbCanA()->count(), 0);  // frame 2 has none now
            QCOMPARE(editor->EindexA()->text(), QString());
            QCOMPARE(editor->PoscompMsbA()->itemIndex(), 0);
            return;
        }
        QCOMPARE(p.boxes.shown, Boxes{question});
        QCOMPARE(editor->byteMap(), before);
        QCOMPARE(editor->LPdoCanA()->selectedRow(), 1);
        QCOMPARE(editor->LIndMbCanA()->count(), 1);
        QCOMPARE(editor->LIndMbCanA()->item(0)->text(), QString("41  - B1"));
        QCOMPARE(editor->LIndMbCanA()->selectedRow(), 0);
        QCOMPARE(editor->EindexA()->text(), QString("typed"));
        QCOMPARE(editor->PoscompMsbA()->itemIndex(), 3);
        QCOMPARE(editor->PoscompLsbA()->itemIndex(), 1);
        // Nothing changed: Cancel closes without asking.
        Project::press(editor.get(), "bitbtn2");
        QVERIFY(!editor->isVisible());
        QCOMPARE(p.boxes.shown.size(), 1u);
    }

    // A row naming a frame beyond the list is not dropped in silence: the summary names it by its
    // worksheet row (the title is row 1) and the frame it names, its number's low 7 bits.
    void byteMapImportSummaryNamesTheSkippedRows()
    {
        Project p;
        test::WriteText(p.dir / "RCobDef.xml", R"(<COBID><row PGN="1" ID_DEV="1"/><row PGN="2" ID_DEV="2"/>)"
                                               R"(<row PGN="3" ID_DEV="3"/><row PGN="4" ID_DEV="4"/></COBID>)");
        std::string rows;
        int r = 2;
        for (const auto& [index, frame] : {std::pair{10, 1}, {11, 137}, {12, 2}, {13, 4}}) {
            const std::string n = std::to_string(r++);
            rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + std::to_string(index) + "</v></c><c r=\"B" + n +
                    "\"><v>" + std::to_string(frame) + "</v></c><c r=\"C" + n + "\"><v>1</v></c></row>";
        }
        auto editor = p.editor<TFInfopdoMB>();
        p.importFrom(editor.get(), OneSheetXlsx(p.dir.path(), "RInfoCob", rows));
        QCOMPARE(p.boxes.shown, (Boxes{{ShownBox::Plain, "RInfoCob: 3 registers imported, 1 row skipped: "
                                                         "row 3 names frame 9, the list has 4"}}));
        QCOMPARE(editor->byteMap()[3].registers, (std::vector<TClIndMB>{{"13", "1", ""}}));
    }

    // Workbooks as scripts and spreadsheet programs write them: openpyxl's inline strings, the
    // repeats and blanks of LibreOffice Calc's .ods.
    void byteMapImportFromWriters_data()
    {
        QTest::addColumn<QString>("workbook");
        QTest::newRow("openpyxl .xlsx") << "writers_openpyxl.xlsx";
        QTest::newRow("LibreOffice .ods") << "writers_libreoffice.ods";
        QTest::newRow("LibreOffice .xlsx") << "writers_libreoffice.xlsx";
    }
    void byteMapImportFromWriters()
    {
        QFETCH(QString, workbook);
        Project p;
        p.writeTwoReceiveFrames();
        auto editor = p.editor<TFInfopdoMB>();
        p.boxes.answer = true;
        p.importFrom(editor.get(), Workbook(workbook));
        QCOMPARE(p.boxes.shown,
                 (Boxes{{ShownBox::Question, "Replace the 2 registers of the map?"},
                        {ShownBox::Plain, "RInfoCob: 5 registers imported, 3 rows skipped: row 7 names frame 5, "
                                          "row 8 names frame 5, row 9 names frame 5; the list has 2"}}));
        QCOMPARE(editor->byteMap()[0].registers,
                 (std::vector<TClIndMB>{{"10", "33", ""}, {"11", "8", ""}, {"11", "8", ""}, {"11", "8", ""}}));
        QCOMPARE(editor->byteMap()[1].registers, (std::vector<TClIndMB>{{"0x20", "17", ""}}));
    }

    // A worksheet that would give the byte map more registers than the image holds is refused
    // with both numbers, and the registers stay as they were.
    void byteMapImportOverTheRoomIsRefusedAndTold()
    {
        std::string rows = R"(<row><c t="inlineStr"><is><t>Index</t></is></c></row>)";
        for (int r = 0; r < 2913; ++r)
            rows += "<row><c><v>" + std::to_string(100 + r) + "</v></c><c><v>" + std::to_string(1 + r % 2) + "</v></c><c><v>1</v></c></row>";
        const std::string sheet = "<worksheet><sheetData>" + rows + "</sheetData></worksheet>";
        Project p;
        p.writeTwoReceiveFrames();
        const std::filesystem::path workbook = p.dir / "large.xlsx";
        test::WriteText(workbook, test::StoredZip({
            {"_rels/.rels", R"(<Relationships><Relationship Id="a" Type="x/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
            {"xl/workbook.xml", R"(<workbook><sheets><sheet name="RInfoCob" r:id="s"/></sheets></workbook>)"},
            {"xl/_rels/workbook.xml.rels", R"(<Relationships><Relationship Id="s" Type="x/worksheet" Target="sheet.xml"/></Relationships>)"},
            {"xl/sheet.xml", sheet}}));
        auto editor = p.editor<TFInfopdoMB>();
        const ByteMap before = editor->byteMap();
        p.importFrom(editor.get(), FromPath(workbook));
        QCOMPARE(p.boxes.shown.size(), 1u);
        QCOMPARE(p.boxes.shown[0].kind, ShownBox::Toolkit);
        QCOMPARE(p.boxes.shown[0].text,
                 QString::fromStdString(DisplayPath(workbook)) +
                     ", worksheet RInfoCob: the worksheet gives 2913 register entries, and the receive byte map holds at most 2912 rows");
        QCOMPARE(editor->byteMap(), before);
        QVERIFY(editor->isVisible());
    }

    void transmitByteMapImportAndExport()
    {
        Project p;
        test::WriteText(p.dir / "TCobDef.xml",
                        R"(<COBID><row Priority="6" DP="0" PGN="1" ID_DEV="1" Mnemonic=""/><row Priority="6" DP="0" PGN="2" ID_DEV="2" Mnemonic=""/></COBID>)");
        auto editor = p.editor<TFInfoTpdoMB>();
        p.importFrom(editor.get(), Workbook("transmit_map.xlsx"));
        QCOMPARE(editor->byteMap()[0].registers, (std::vector<TClIndMB>{{"10", "33", "0"}}));
        QCOMPARE(editor->byteMap()[1].registers, (std::vector<TClIndMB>{{"$0B", "136", "0"}}));
        Project::press(editor.get(), "button1");
        QCOMPARE(p.exported("TInfoCob.csv"), std::string("10,1,33,\r\n$0B,2,136,\r\n"));
        Project::press(editor.get(), "bitbtn1");
        // A map without registers is replaced unasked.
        QCOMPARE(p.boxes.shown, (Boxes{{ShownBox::Plain, "TInfoCob: 2 registers imported"},
                                       {ShownBox::Plain, "Exported to " + QString::fromStdString(DisplayPath(p.dir / "TInfoCob.csv"))}}));
        QCOMPARE(test::ReadText(ByteMapPath(p.dir.path(), Direction::Transmit)),
                 std::string(R"(<TInfoCob><row Index="10" NrPdo="1" PosComp="33" Write_J1939="0"/>)"
                             R"(<row Index="$0B" NrPdo="2" PosComp="136" Write_J1939="0"/></TInfoCob>)"));
    }
};

QTEST_MAIN(TableImportExportTest)
#include "table_import_export_test.moc"
