#include "documents/frame_list_document.h"
#include "editors/finding_marks.h"
#include "editors/frame_list_editor.h"
#include "editors/table_import.h"
#include "platform/platform.h"
#include "shell/main_window.h"
#include "project/project_state.h"
#include "tests/editors/frame_list_editor_fixture.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QAccessible>
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace trelvant;
using trelvant::test::Cells;
using trelvant::test::EditorFixture;
using trelvant::test::ModalScript;
using trelvant::test::ShownBox;
using trelvant::test::ToRows;

namespace {

// True when the user sees the whole widget: neither the window nor a scrolling viewport cuts it.
bool ShownWhole(const QWidget* widget)
{
    if (!widget || !widget->isVisible()) return false;
    QRect rect(QPoint(0, 0), widget->size());
    for (const QWidget* w = widget; !w->isWindow(); w = w->parentWidget()) {
        rect.translate(w->pos());
        if (!QRect(QPoint(0, 0), w->parentWidget()->size()).contains(rect)) return false;
    }
    return true;
}

}  // namespace

class FrameListEditorTest : public QObject {
    Q_OBJECT

private slots:
    void windowAndGrid_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("headers");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("receive") << Direction::Receive << "TFpdoMB" << "Receive J1939 Frame" << QSize(522, 521)
                                 << QStringList{"N", "PGN", "ID Device", "Delete", "Mnemonic"}
                                 << QList<int>{64, 115, 91, 64, 151};
        QTest::newRow("transmit") << Direction::Transmit << "TFTpdo2MB" << "Transmit J1939 Frame" << QSize(612, 521)
                                  << QStringList{"N", "Priority", "Data Page", "PGN", "ID Device", "Mnemonic"}
                                  << QList<int>{64, 74, 76, 98, 79, 159};
    }
    void windowAndGrid()
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
        auto* notebook = f.editor->findChild<QTabWidget*>("TabbedNotebook1");
        QVERIFY(notebook);
        QCOMPARE(notebook->count(), 1);
        QCOMPARE(notebook->tabText(0), QString("Can0-ModBus"));
        QVERIFY(notebook->widget(0)->isAncestorOf(f.grid()));
        QCOMPARE(f.editor->findChild<QTableWidget*>("sgA"), f.grid());
        QVERIFY(!f.grid()->accessibleName().isEmpty());

        QFETCH(QStringList, headers);
        QFETCH(QList<int>, widths);
        QCOMPARE(f.grid()->rowCount(), 250);
        QCOMPARE(f.grid()->columnCount(), headers.size());
        for (int c = 0; c < headers.size(); ++c) {
            QCOMPARE(f.grid()->horizontalHeaderItem(c)->text(), headers[c]);
            QCOMPARE(f.grid()->columnWidth(c), widths[c]);
        }
        QCOMPARE(f.grid()->rowHeight(0), 21);
        QCOMPARE(f.grid()->horizontalHeader()->height(), 21);
        QCOMPARE(f.cell(1, 0), QString("1"));
        QCOMPARE(f.cell(250, 0), QString("250"));
        QVERIFY(!(f.grid()->item(0, 0)->flags() & Qt::ItemIsEditable));

        auto* panel = f.editor->findChild<QWidget*>("PanelBColor1");
        QCOMPARE(panel->height(), 41);
        QCOMPARE(panel->geometry().bottom(), f.editor->height() - 1);
        const struct {
            const char* name;
            const char* caption;
            QRect geometry;
        } buttons[] = {{"bitbtn1", "&OK", {12, 9, 69, 23}},  // Alt+O and Alt+C from anywhere, the grid included
                       {"bitbtn2", "&Cancel", {92, 9, 69, 23}},
                       {"button1", "Export", {256, 9, 89, 23}},
                       {"bitbtn4", "Import", {360, 9, 89, 23}}};
        for (const auto& b : buttons) {
            auto* button = panel->findChild<QPushButton*>(b.name);
            QVERIFY2(button, b.name);
            QCOMPARE(button->text(), QString(b.caption));
            QCOMPARE(button->geometry(), b.geometry);
        }
        QCOMPARE(f.editor->focusWidget(), panel->findChild<QPushButton*>("bitbtn1"));
    }

    void okWritesTheListByteExactly_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<Cells>("typed");
        QTest::addColumn<Cells>("written");
        // Asked and answered Yes: the rows after the list's end, then the errors that the
        // project check finds in the list (a PGN that is not an integer).
        QTest::addColumn<int>("questions");
        QTest::newRow("empty grid") << Direction::Receive << Cells{} << Cells{} << 0;
        // Row 3's first column is empty: rows 3 and 4 are not part of the list.
        QTest::newRow("receive") << Direction::Receive
                                 << Cells{{"61444", "0xEF", "Y", "Engine <1> & \"2\""}, {"abc", " $21", "", ""},
                                          {"", "5", "N", "gone"}, {"1", "999", "", ""}}
                                 << Cells{{"61444", "0xEF", "Y", "Engine <1> & \"2\""}, {"abc", " $21", "", ""}} << 2;
        QTest::newRow("transmit") << Direction::Transmit
                                  << Cells{{"7", "1", "0xFEF1", "239", "Request"}, {"0", "0", "", "0", ""},
                                           {"", "0", "1", "5", ""}, {"1", "0", "2", "3", ""}}
                                  << Cells{{"7", "1", "0xFEF1", "239", "Request"}, {"0", "0", "", "0", ""}} << 2;
    }
    void okWritesTheListByteExactly()
    {
        QFETCH(Direction, direction);
        QFETCH(Cells, written);
        EditorFixture f(direction);
        f.show();
        QFETCH(Cells, typed);
        f.fill(typed);
        QFETCH(int, questions);
        f.boxes.answer = true;
        f.press("bitbtn1");
        QCOMPARE(f.boxes.shown.size(), std::size_t(questions));
        for (const ShownBox& box : f.boxes.shown) QCOMPARE(box.kind, ShownBox::Question);
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.editor->result(), int(QDialog::Accepted));
        QCOMPARE(f.readDocument(), FrameListXml(direction, ToRows(written)));

        // The next showing starts from the document: the rows after the list's end are gone.
        f.show();
        for (int c = 1; c < f.grid()->columnCount(); ++c) {
            QCOMPARE(f.cell(written.size() + 1, c), QString());
            if (!written.isEmpty()) QCOMPARE(f.cell(1, c), written[0][c - 1]);
        }
    }

    void rowChecksStopOk_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<Cells>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("ID Device 240") << Direction::Receive << Cells{{"61444", "0xF0", "", ""}}
                                       << "Error in row 1!! The ID Device must be between 0 and 239";
        QTest::newRow("ID Device empty") << Direction::Receive << Cells{{"61444", "", "", ""}}
                                         << "Error in row 1!! The ID Device must be between 0 and 239";
        QTest::newRow("rows 2 and 5 wrong") << Direction::Receive
                                            << Cells{{"1", "0"}, {"2", "-1"}, {"3", "0"}, {"4", "0"}, {"5", "240"}}
                                            << "Error in row 2!! The ID Device must be between 0 and 239";
        QTest::newRow("Priority 8") << Direction::Transmit << Cells{{"8", "0", "1", "0", ""}}
                                    << "Error in row 1!! The Priority of J1939 frame must be between 0 and 7";
        QTest::newRow("Priority word") << Direction::Transmit << Cells{{"high", "0", "1", "0", ""}}
                                       << "Error in row 1!! The Priority of J1939 frame must be between 0 and 7";
        QTest::newRow("Data Page 2") << Direction::Transmit << Cells{{"7", "1", "1", "0", ""}, {"3", "2", "1", "0", ""}}
                                     << "Error in row 2!! The Data Page of J1939 frame must be either 0 or 1";
        QTest::newRow("transmit ID Device") << Direction::Transmit << Cells{{"3", "1", "1", "240", ""}}
                                            << "Error in row 1!! The ID Device must be between 0 and 239";
    }
    void rowChecksStopOk()
    {
        QFETCH(Direction, direction);
        EditorFixture f(direction);
        f.writeDocument("<COBID/>");
        f.show();
        QFETCH(Cells, typed);
        QFETCH(QString, message);
        f.fill(typed);
        f.press("bitbtn1");
        QCOMPARE(f.boxes.shown, (std::vector<ShownBox>{{ShownBox::Error, message}}));
        QVERIFY(f.editor->isVisible());
        QCOMPARE(f.readDocument(), std::string("<COBID/>"));
        QCOMPARE(f.cell(typed.size(), 2), typed.last()[1]);  // the grid keeps what was typed
        f.press("bitbtn2");
    }

    void cancelWritesNothing()
    {
        EditorFixture f(Direction::Receive);
        const std::string document = "<COBID><row PGN=\"1\" ID_DEV=\"2\" Delete=\"Y\" Mnemonic=\"m\"/></COBID>";
        f.writeDocument(document);
        f.show();
        f.fill({{"9", "9", "N", "changed"}, {"10", "10"}});
        f.boxes.answer = true;  // discard the changes
        f.press("bitbtn2");
        QCOMPARE(f.boxes.shown, (std::vector<ShownBox>{{ShownBox::Question, kDiscardChanges}}));
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.editor->result(), int(QDialog::Rejected));
        QCOMPARE(f.readDocument(), document);
        f.show();
        QCOMPARE(f.cell(1, 1), QString("1"));
        QCOMPARE(f.cell(1, 4), QString("m"));
        QCOMPARE(f.cell(2, 1), QString());
    }

    void loadReadsAMissingDeleteAsN()
    {
        EditorFixture f(Direction::Receive);
        f.writeDocument("<COBID><row PGN=\"1\" ID_DEV=\"2\" Mnemonic=\"a\"/><row PGN=\"3\" ID_DEV=\"4\" Mnemonic=\"\"/></COBID>");
        f.show();
        QCOMPARE(f.boxes.shown, std::vector<ShownBox>{});
        QCOMPARE(f.cell(1, 3), QString("N"));
        QCOMPARE(f.cell(2, 3), QString("N"));
        QCOMPARE(f.cell(3, 3), QString());
        f.press("bitbtn1");
        QCOMPARE(f.readDocument(), FrameListXml(Direction::Receive, {{"1", "2", "N", "a"}, {"3", "4", "N", ""}}));
    }

    void deleteCellSwitchesBetweenYAndN()
    {
        EditorFixture f(Direction::Receive);
        f.show();
        QTableWidget* grid = f.grid();
        const QPoint centre = grid->visualRect(grid->model()->index(0, FrameListEditor::kDeleteColumn)).center();
        QCOMPARE(f.cell(1, 3), QString());  // never touched
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(f.cell(1, 3), QString("Y"));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(f.cell(1, 3), QString("N"));
        grid->setCurrentCell(0, FrameListEditor::kDeleteColumn);
        QTest::keyClick(grid, Qt::Key_Space);
        QCOMPARE(f.cell(1, 3), QString("Y"));
        QCOMPARE(grid->indexWidget(grid->model()->index(0, FrameListEditor::kDeleteColumn)), nullptr);
    }

    // The builder sets the delete flag for "y" too: the cell shows it ticked, and a click clears it.
    void aLowerCaseYIsShownTicked()
    {
        EditorFixture f(Direction::Receive);
        f.writeDocument("<COBID><row PGN=\"1\" ID_DEV=\"2\" Delete=\"y\" Mnemonic=\"\"/></COBID>");
        f.show();
        QTableWidget* grid = f.grid();
        const QRect rect = grid->visualRect(grid->model()->index(0, FrameListEditor::kDeleteColumn));
        const QImage image = grid->viewport()->grab(rect).toImage();
        f.type(1, 3, "N");
        const QImage clear = grid->viewport()->grab(rect).toImage();
        f.type(1, 3, "Y");
        const QImage ticked = grid->viewport()->grab(rect).toImage();
        QVERIFY(clear != ticked);
        QCOMPARE(image, ticked);
        f.type(1, 3, "y");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(f.cell(1, 3), QString("N"));
    }

    // Return after typing is OK wherever the focus is, the grid included: the rows are written.
    void returnInTheGridIsOk()
    {
        EditorFixture f(Direction::Receive);
        f.show();
        f.fill({{"61444", "0", "N", "Engine"}});
        QTableWidget* grid = f.grid();
        grid->setFocus();
        grid->setCurrentCell(0, 1);
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(f.editor->result(), int(QDialog::Accepted));
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.readDocument(), FrameListXml(Direction::Receive, {{"61444", "0", "N", "Engine"}}));
    }

    void aLongerDocumentOpensWithItsFirst250Frames()
    {
        EditorFixture f(Direction::Transmit);
        std::vector<FrameRow> rows;
        for (int i = 1; i <= 251; ++i) rows.push_back({"3", "0", std::to_string(i), "0", ""});
        f.writeDocument(FrameListXml(Direction::Transmit, rows));
        f.show();
        const QString path = FromPath(f.document());
        QCOMPARE(f.boxes.shown, (std::vector<ShownBox>{{ShownBox::Error,
                                                         path + " holds 251 frames, of which only the first 250 can be "
                                                                "edited; OK writes these 250 only"}}));
        QCOMPARE(f.cell(250, 3), QString("250"));
        f.press("bitbtn1");
        rows.pop_back();
        QCOMPARE(f.readDocument(), FrameListXml(Direction::Transmit, rows));
    }

    void aLoadFailureKeepsTheRowsBeforeIt()
    {
        EditorFixture f(Direction::Transmit);
        f.writeDocument("<COBID><row Priority=\"1\" DP=\"0\" PGN=\"2\" ID_DEV=\"3\" Mnemonic=\"first\"/>"
                        "<row Priority=\"1\" PGN=\"2\" ID_DEV=\"3\" Mnemonic=\"\"/></COBID>");
        f.show();
        QCOMPARE(f.boxes.shown, (std::vector<ShownBox>{{ShownBox::Toolkit,
                                                         FromPath(f.document()) + ", row 2: no attribute DP"}}));
        QVERIFY(f.editor->isVisible());
        QCOMPARE(f.cell(1, 5), QString("first"));
        QCOMPARE(f.cell(2, 1), QString());
        QVERIFY(f.editor->focusWidget() != f.editor->findChild<QPushButton*>("bitbtn1"));
        // OK replaces the faulty file with what the grid holds.
        f.press("bitbtn1");
        QCOMPARE(f.readDocument(), FrameListXml(Direction::Transmit, {{"1", "0", "2", "3", "first"}}));
    }

    void theRowNumbersStayInViewWhenTheGridScrolls()
    {
        EditorFixture f(Direction::Receive);
        f.show();
        QTableWidget* grid = f.grid();
        grid->setColumnWidth(4, 1000);
        QCoreApplication::processEvents();  // the scroll bars follow the new width
        grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
        grid->verticalScrollBar()->setValue(10);
        QVERIFY(grid->columnViewportPosition(0) < 0);  // column 0 of the grid itself scrolled away
        // What the user sees at the grid's left edge, in the first data row and in the header.
        const auto shownAt = [grid](QPoint point) {
            QWidget* under = grid->childAt(point);
            auto* view = qobject_cast<QTableView*>(under ? under->parentWidget() : nullptr);
            if (!view) return QString("nothing");
            const QModelIndex index = view->indexAt(view->viewport()->mapFrom(grid, point));
            return index.data().toString() + "|" + view->model()->headerData(view->columnAt(point.x()), Qt::Horizontal).toString();
        };
        const int dataRowY = grid->viewport()->y() + grid->rowHeight(0) / 2;
        QCOMPARE(shownAt(QPoint(10, dataRowY)), QString("11|N"));
        f.editor->hide();
        f.show();  // a showing scrolls back to the top
        QCOMPARE(shownAt(QPoint(10, dataRowY)), QString("1|N"));
    }

    void onlyAMaximisedWindowLetsTheGridGrow()
    {
        EditorFixture f(Direction::Transmit);
        f.show();
        QCOMPARE(f.editor->minimumSize(), f.editor->maximumSize());  // the border does not resize it
        const int gridWidth = f.grid()->width();
        f.editor->showMaximized();
        QTRY_VERIFY(f.grid()->width() > gridWidth);
        f.editor->showNormal();
        QTRY_COMPARE(f.editor->size(), QSize(612, 521));
        QCOMPARE(f.grid()->width(), gridWidth);
        QCOMPARE(f.editor->minimumSize(), f.editor->maximumSize());
    }

    void aRestoreFromMinimisedKeepsTheEdits()
    {
        EditorFixture f(Direction::Receive);
        f.show();
        f.type(1, 1, "61444");
        QVERIFY(test::MinimiseAndRestore(f.editor.get()));
        QCOMPARE(f.cell(1, 1), QString("61444"));
    }

    // A keyboard user: Shift+Tab from OK enters the grid at row 1's first data column, typing
    // edits cells (no type-ahead search on the row numbers), Tab moves between cells and never
    // stops on the row numbers, Ctrl+Tab leaves the grid with what was typed.
    void theGridWorksByKeyboard()
    {
        EditorFixture f(Direction::Receive);
        f.show();
        f.editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.editor.get()));
        QTableWidget* grid = f.grid();
        auto* ok = f.editor->findChild<QPushButton*>("bitbtn1");
        QCOMPARE(QApplication::focusWidget(), ok);
        const auto keys = [](const QString& text) {
            for (const QChar c : text) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        };
        QTest::keyClick(ok, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), grid);
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 1));
        keys("61444");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        keys("0");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), ok);
        QCOMPARE(f.cell(1, 1), QString("61444"));
        QCOMPARE(f.cell(1, 2), QString("0"));
        QCOMPARE(f.cell(61, 1), QString());

        // Back in, the cell is where the user left it; Shift+Tab and Left skip the row numbers.
        QTest::keyClick(ok, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(grid->currentIndex(), grid->model()->index(0, 2));
        grid->setCurrentCell(5, 0);  // a click on a row number
        QCOMPARE(grid->currentIndex(), grid->model()->index(5, 1));
        QTest::keyClick(grid, Qt::Key_Left);
        QCOMPARE(grid->currentIndex(), grid->model()->index(5, 1));
        QTest::keyClick(grid, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(grid->currentIndex(), grid->model()->index(4, 4));
        QTest::keyClick(grid, Qt::Key_Tab);
        QCOMPARE(grid->currentIndex(), grid->model()->index(5, 1));
        QTest::keyClick(grid, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QApplication::focusWidget() != grid);

        // Alt+O is OK from the grid.
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_O, Qt::AltModifier);  // the button clicks itself a moment later
        QTRY_COMPARE(f.editor->result(), int(QDialog::Accepted));
        QCOMPARE(f.readDocument(), FrameListXml(Direction::Receive, {{"61444", "0", "", ""}}));
    }

    // Cancel, Escape and the close box ask before dropping changes; No keeps the dialog and what
    // was typed; without changes they close at once.
    void droppingChangesIsAskedFor_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << "Cancel";
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("close box") << "close box";
    }
    void droppingChangesIsAskedFor()
    {
        QFETCH(QString, how);
        EditorFixture f(Direction::Transmit);
        f.writeDocument("<COBID><row Priority=\"6\" DP=\"0\" PGN=\"65262\" ID_DEV=\"0\" Mnemonic=\"\"/></COBID>");
        const auto leave = [&] {
            if (how == "Cancel") f.press("bitbtn2");
            else if (how == "Escape") QTest::keyClick(f.editor.get(), Qt::Key_Escape);
            else f.editor->close();
        };
        f.show();
        leave();
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.boxes.shown, std::vector<ShownBox>{});

        f.show();
        f.type(1, 3, "65263");
        leave();
        QVERIFY(f.editor->isVisible());
        QCOMPARE(f.boxes.shown, (std::vector<ShownBox>{{ShownBox::Question, kDiscardChanges}}));
        QCOMPARE(f.cell(1, 3), QString("65263"));
        // Typing the old text back is no change.
        f.type(1, 3, "65262");
        leave();
        QVERIFY(!f.editor->isVisible());
        QCOMPARE(f.boxes.shown.size(), std::size_t(1));
    }

    // OK asks before the rows after an empty first cell are dropped; No keeps everything.
    void rowsAfterTheListsEndAreNotDroppedSilently()
    {
        EditorFixture f(Direction::Receive);
        f.writeDocument("<COBID/>");
        f.show();
        f.fill({{"1", "1", "N", ""}, {"", "2", "N", "oil"}, {"3", "3", "N", ""}, {"", "", "N", ""}, {"5", "5", "Y", ""}});
        f.press("bitbtn1");
        QCOMPARE(f.boxes.shown,
                 (std::vector<ShownBox>{{ShownBox::Question, "The list ends at row 2, whose PGN cell is empty. 3 rows from "
                                                             "there on hold data and would not be saved.\n\nSave the list "
                                                             "without them?"}}));
        QVERIFY(f.editor->isVisible());
        QCOMPARE(f.readDocument(), std::string("<COBID/>"));
        QCOMPARE(f.cell(3, 1), QString("3"));

        f.boxes.answer = true;
        f.type(2, 2, "");
        f.type(2, 4, "");
        f.type(5, 1, "");
        f.type(5, 2, "");
        f.type(5, 3, "N");
        f.press("bitbtn1");
        QCOMPARE(f.boxes.shown.back().text, QString("The list ends at row 2, whose PGN cell is empty. 1 row from there "
                                                    "on holds data and would not be saved.\n\nSave the list without it?"));
        QCOMPARE(f.readDocument(), FrameListXml(Direction::Receive, {{"1", "1", "N", ""}}));
    }

    // Ctrl+Del and Ctrl+Ins (also in the grid's menu) take out and put in whole rows; the rows
    // below move, the Delete cells stay check boxes.
    void rowsAreDeletedAndInserted()
    {
        EditorFixture f(Direction::Receive);
        f.show();
        f.editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.editor.get()));
        QTableWidget* grid = f.grid();
        QStringList menu;
        for (const QAction* action : grid->actions()) menu << action->text();
        QCOMPARE(menu, (QStringList{"Insert row", "Delete row"}));
        QCOMPARE(grid->contextMenuPolicy(), Qt::ActionsContextMenu);

        f.fill({{"1", "1", "Y", "a"}, {"2", "2", "N", "b"}, {"3", "3", "Y", "c"}, {"4", "4", "N", "d"}});
        const auto column = [&](int c) {
            QStringList texts;
            for (int r = 1; r <= 5; ++r) texts << f.cell(r, c);
            return texts;
        };
        grid->setFocus();
        grid->setCurrentCell(1, 2);
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(column(1), (QStringList{"1", "3", "4", "", ""}));
        QCOMPARE(column(3), (QStringList{"Y", "Y", "N", "", ""}));
        QCOMPARE(grid->currentIndex(), grid->model()->index(1, 2));
        QTest::keyClick(grid, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(column(1), (QStringList{"1", "", "3", "4", ""}));
        QCOMPARE(column(4), (QStringList{"a", "", "c", "d", ""}));
        QVERIFY(grid->item(1, FrameListEditor::kDeleteColumn)->flags() & Qt::ItemIsUserCheckable);

        // A selection of rows goes at once.
        grid->setRangeSelected(QTableWidgetSelectionRange(0, 1, 1, 2), true);
        QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(column(1), (QStringList{"3", "4", "", "", ""}));

        // Row 250 holding a frame: nothing is pushed out of the list.
        f.type(250, 1, "250");
        grid->setCurrentCell(0, 1);
        QTest::keyClick(grid, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(f.boxes.shown,
                 (std::vector<ShownBox>{{ShownBox::Plain, "Row 250 holds a frame: delete a row before inserting one."}}));
        QCOMPARE(column(1), (QStringList{"3", "4", "", "", ""}));
        QCOMPARE(f.cell(250, 1), QString("250"));
    }

    // Assistive technology reads the Delete cells as check boxes, checked or not as the text says,
    // and the space bar on the cell toggles it.
    void deleteCellsAreCheckBoxesToAssistiveTechnology()
    {
        EditorFixture f(Direction::Receive);
        f.writeDocument("<COBID><row PGN=\"1\" ID_DEV=\"2\" Delete=\"y\" Mnemonic=\"\"/>"
                        "<row PGN=\"3\" ID_DEV=\"4\" Delete=\"N\" Mnemonic=\"\"/></COBID>");
        f.show();
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(f.grid());
        QVERIFY(table && table->tableInterface());
        const auto cell = [&](int row) { return table->tableInterface()->cellAt(row, FrameListEditor::kDeleteColumn); };
        const auto checked = [&](int row) {
            QAccessibleInterface* c = cell(row);
            return c->state().checkable ? (c->state().checked ? QString("checked") : QString("not checked")) : QString("text");
        };
        QCOMPARE(checked(0), QString("checked"));
        QCOMPARE(checked(1), QString("not checked"));
        QCOMPARE(checked(2), QString("not checked"));  // rows after the list too
        f.grid()->setFocus();
        f.grid()->setCurrentCell(1, FrameListEditor::kDeleteColumn);
        QTest::keyClick(f.grid(), Qt::Key_Space);
        QCOMPARE(f.cell(2, 3), QString("Y"));
        QCOMPARE(checked(1), QString("checked"));
        // The PGN cell is no check box.
        QCOMPARE(table->tableInterface()->cellAt(0, 1)->state().checkable, false);
    }

    // However small the screen (at 200 % the offscreen screen is 400 x 400), the buttons stay on it
    // whole, below the grid that scrolls, and the focus starts on OK in view. The shrunk rows give
    // the window the size it takes at 200 % on any screen.
    void okStaysOnTheScreen_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QSize>("shrunkTo");  // empty: as the screen leaves it
        QTest::newRow("receive") << Direction::Receive << QSize();
        QTest::newRow("transmit") << Direction::Transmit << QSize();
        QTest::newRow("receive shrunk") << Direction::Receive << QSize(384, 300);
        QTest::newRow("transmit shrunk") << Direction::Transmit << QSize(384, 300);
    }
    void okStaysOnTheScreen()
    {
        QFETCH(Direction, direction);
        QFETCH(QSize, shrunkTo);
        EditorFixture f(direction);
        f.show();
        const QRect screen = f.editor->screen()->availableGeometry();
        QVERIFY2(screen.contains(f.editor->frameGeometry()), qPrintable(QDebug::toString(f.editor->frameGeometry())));
        if (shrunkTo.isValid()) {
            f.editor->setFixedSize(shrunkTo);
            QTRY_COMPARE(f.editor->size(), shrunkTo);
        }
        QCOMPARE(f.editor->focusWidget(), f.editor->findChild<QPushButton*>("bitbtn1"));
        for (const char* name : {"bitbtn1", "bitbtn2", "button1", "bitbtn4"}) {
            auto* button = f.editor->findChild<QPushButton*>(name);
            QVERIFY2(ShownWhole(button), name);
            QVERIFY2(screen.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())), name);
        }
        // The check's line under the grid, read whole.
        const QLabel* line = f.editor->findingsLine();
        QVERIFY(ShownWhole(line));
        QCOMPARE(line->text(), QString("No problems found"));
        QVERIFY(line->width() >= line->sizeHint().width());
        if (shrunkTo.isValid() || screen.height() < 521) {
            QVERIFY(f.editor->height() < 521);
            QVERIFY(f.grid()->verticalScrollBar()->maximum() > 0);
            QVERIFY(f.grid()->horizontalScrollBar()->maximum() > 0);
        } else {
            QCOMPARE(f.editor->height(), 521);
        }
    }

    // Every control the keyboard reaches has a name for a screen reader.
    void everyControlHasAName()
    {
        EditorFixture f(Direction::Transmit);
        f.show();
        QStringList names;
        for (QWidget* widget : f.editor->findChildren<QWidget*>()) {
            if (!widget->isVisibleTo(f.editor.get()) || !(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy()) continue;
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            QVERIFY(face);
            names << face->text(QAccessible::Name);
            QVERIFY2(!names.last().isEmpty(), widget->metaObject()->className());
        }
        names.sort();
        QCOMPARE(names, (QStringList{"Can0-ModBus", "Cancel", "Export", "Import", "OK", f.grid()->accessibleName()}));
    }

    void mainWindowOpensEachEditorInItsMode_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("caption");
        QTest::newRow("btn_RCOB") << "btn_RCOB" << "TFpdoMB" << "RCobDef.xml" << "Receive J1939 Frame";
        QTest::newRow("btn_TCOB") << "btn_TCOB" << "TFTpdo2MB" << "TCobDef.xml" << "Transmit J1939 Frame";
    }
    void mainWindowOpensEachEditorInItsMode()
    {
        QFETCH(QString, dialog);
        QFETCH(QString, caption);
        QFETCH(QString, document);
        QFETCH(QString, button);
        // The last project, Boiler2, is open at start.
        test::TempFolder program;
        std::filesystem::create_directories(program / "PROJECTS" / "Boiler2");
        test::WriteText(program / "Trelvant_CAN2MRTUs.ini", "[lastproj]\r\nprojectname=\\Boiler2\r\n");
        test::WriteText(program / "PROJECTS" / "Boiler2" / document.toStdString(),
                        "<COBID><row Priority=\"1\" DP=\"0\" PGN=\"abc\" ID_DEV=\"3\" Mnemonic=\"\"/></COBID>");
        test::RecordingPlatform fake;
        TFTrelvanteFirmWare window(FromPath(program.path()), fake.platform);
        window.show();
        QString seen;
        QString firstPgn;
        ModalScript script([&](QDialog* shown) {
            seen = shown->objectName() + " " + shown->windowTitle();
            auto* grid = shown->findChild<QTableWidget*>("sgA");
            firstPgn = grid->item(0, grid->columnCount() == 5 ? 1 : 3)->text();
            QTest::mouseClick(shown->findChild<QPushButton*>("bitbtn2"), Qt::LeftButton);
        });
        QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton);
        QVERIFY(script.ran());
        QCOMPARE(seen, dialog + " " + caption);
        QCOMPARE(firstPgn, QString("abc"));
        QCOMPARE(fake.boxes.shown, std::vector<ShownBox>{});
    }
};

QTEST_MAIN(FrameListEditorTest)
#include "frame_list_editor_test.moc"
