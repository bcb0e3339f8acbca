// The project check in the communication dialog: the findings of the values as OK would write
// them at their fields, the count under the groups, F8 and Shift+F8, OK with errors.
#include "documents/pargen_document.h"
#include "editors/communication_dialog.h"
#include "editors/finding_marks.h"
#include "platform/platform.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace trelvant;
using trelvant::test::ShownBox;

Q_DECLARE_METATYPE(trelvant::test::ShownBox)

namespace {

// The fields that show findings, top to bottom.
const QStringList kFields{"CB_BR_CAN", "GB_CANType", "E_TO_Data", "E_TO_MR", "CB_PtoP",
                          "CB_En_W_J1939", "CB_EnRemReq", "E_Pri_Des", "E_PGN1", "E_PGN2",
                          "E_SA", "GB_Interface", "CB_BR_RTU", "CB_PAR_RTU", "E_ID_RTU"};

// A receive byte map whose third row uses the Modbus register 100.
const char* const kMapWithRegister100 = R"(<RInfoCob><row Index="10" NrPdo="1" PosComp="1"/>)"
                                        R"(<row Index="20" NrPdo="1" PosComp="2"/>)"
                                        R"(<row Index="100" NrPdo="1" PosComp="3"/></RInfoCob>)";

// The dialog on the pargen.xml of a project folder.
struct Dialog {
    test::TempFolder project;
    test::RecordingMessageBoxes boxes;
    std::filesystem::path document = project / "pargen.xml";
    std::unique_ptr<TFpargen> dialog = std::make_unique<TFpargen>(boxes);

    Dialog() { dialog->setDocumentPath(FromPath(document)); }

    template <typename T = QWidget>
    T* child(const QString& name) const
    {
        T* found = dialog->findChild<T*>(name);
        if (!found) qFatal("no control %s", qPrintable(name));
        return found;
    }
    void show() const
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    }
    // "E_ID_RTU=300": the field emptied and the text typed into it, key by key; "CB_EnRemReq": the
    // check box clicked.
    void change(const QString& what) const
    {
        const QString name = what.section('=', 0, 0);
        if (!what.contains('=')) {
            QTest::mouseClick(child<QCheckBox>(name), Qt::LeftButton);
            return;
        }
        QWidget* field = child(name);
        if (auto* list = qobject_cast<QComboBox*>(field)) field = list->lineEdit();
        field->setFocus(Qt::TabFocusReason);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, what.section('=', 1));
    }
    void ok() const { QTest::mouseClick(child<QPushButton>("bitbtn1"), Qt::LeftButton); }
    QString line() const { return child<QLabel>("FindingsLine")->text(); }
};

QString Described(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Description);
}

// Each field's mark: the expected "field\ttip\tdescription" lines, every other field unmarked. A
// mark is the tip, the description a screen reader gets, the tint of the severity and an icon.
void CheckMarks(const Dialog& d, const QStringList& marks)
{
    for (const QString& name : kFields) {
        QWidget* field = d.child(name);
        QString tip, description;
        for (const QString& mark : marks)
            if (mark.section('\t', 0, 0) == name) {
                tip = mark.section('\t', 1, 1);
                description = mark.section('\t', 2, 2);
            }
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
        QCOMPARE(Described(field), description);
        QVERIFY2(field->styleSheet().contains(FindingTint(Severity::Error).name()), where);
    }
}

class CommunicationFindingsTest : public QObject {
    Q_OBJECT

private slots:
    // Values that the image cannot hold as typed, or that clash with another register, show at
    // their field as they are typed; OK then refuses through the dialog's own checks first, and
    // asks about the rest, No keeping the dialog open and writing nothing.
    void aValueShowsItsFindingAtItsField_data()
    {
        QTest::addColumn<QStringList>("changes");  // Dialog::change, one after the other
        QTest::addColumn<QString>("byteMap");      // RInfoCob.xml; empty: none
        QTest::addColumn<QStringList>("marks");    // field, tip, description
        QTest::addColumn<QString>("line");
        QTest::addColumn<ShownBox>("okShows");
        const auto question = [](const char* lines) {
            return ShownBox{ShownBox::Question,
                            QString("The communication document has 1 error:\n\n%1\n\nSave anyway?").arg(lines)};
        };
        const QString device("The gateway's Modbus slave address, 1 to 247\n");
        const QString requestRegister("Modbus register, 1 to 65535\n");

        const QString cut("Error: element \"IDDev_Ser\": 300 is cut to 44 (field of 8 bits)");
        QTest::newRow("Dev ID 300 is cut to its 8 bits")
            << QStringList{"E_ID_RTU=300"} << "" << QStringList{"E_ID_RTU\t" + cut + "\t" + device + cut} << "1 error"
            << question("element \"IDDev_Ser\": 300 is cut to 44 (field of 8 bits)");
        const QString broadcast("element \"IDDev_Ser\": Dev ID 0 is outside 1 to 247: 0 is the broadcast address, which "
                                "no slave has");
        QTest::newRow("Dev ID 0, the broadcast address")
            << QStringList{"E_ID_RTU=0"} << ""
            << QStringList{"E_ID_RTU\tError: " + broadcast + "\t" + device + "Error: " + broadcast} << "1 error"
            << question(qPrintable(broadcast));
        const QString reserved("element \"IDDev_Ser\": Dev ID 248 is outside 1 to 247: Modbus reserves the addresses "
                               "above 247");
        QTest::newRow("Dev ID 248, a reserved address")
            << QStringList{"E_ID_RTU=248"} << ""
            << QStringList{"E_ID_RTU\tError: " + reserved + "\t" + device + "Error: " + reserved} << "1 error"
            << question(qPrintable(reserved));
        const QString shared("Error (RInfoCob.xml, row 3): Modbus index 100 is also the register \"TO_ModReg\" of "
                             "pargen.xml");
        QTest::newRow("the data time-out register is a register of the receive byte map")
            << QStringList{"E_TO_MR=100"} << kMapWithRegister100
            << QStringList{"E_TO_MR\t" + shared + "\tThe Modbus register of the data time-out, 1 to 65535\n" + shared}
            << "1 error"
            << question("RInfoCob.xml, row 3: error: Modbus index 100 is also the register \"TO_ModReg\" of pargen.xml");
        const QString notANumber("Error: element \"TimeOut_Data\": 'x' is not a valid integer value; the device gets 0");
        QTest::newRow("a data time-out that is not a number, remote requests off")
            << QStringList{"E_TO_Data=x"} << ""
            << QStringList{"E_TO_Data\t" + notANumber + "\tIn seconds, 0 to 255\n" + notANumber} << "1 error"
            << ShownBox{ShownBox::Error, "Error! The Time Out Data must be between 0 and 255 seconds"};
        // Found at the second of the two; shown at both.
        const QString twice("Error: element \"PGN1\": register 10 is also \"Pri_Des\"");
        QTest::newRow("two request registers alike, remote requests then ticked")
            << QStringList{"E_Pri_Des=10", "E_PGN1=10", "E_PGN2=11", "E_SA=12", "CB_EnRemReq"} << ""
            << QStringList{"E_Pri_Des\t" + twice + "\t" + requestRegister + twice,
                           "E_PGN1\t" + twice + "\t" + requestRegister + twice}
            << "1 error" << ShownBox{ShownBox::Error, "Error! The Priority and Destination cannot be equal to PGN Part 1"};
    }
    void aValueShowsItsFindingAtItsField()
    {
        QFETCH(QStringList, changes);
        QFETCH(QString, byteMap);
        QFETCH(QStringList, marks);
        QFETCH(QString, line);
        QFETCH(ShownBox, okShows);
        Dialog d;
        if (!byteMap.isEmpty()) test::WriteText(d.project / "RInfoCob.xml", byteMap.toStdString());
        d.show();
        CheckMarks(d, {});
        QCOMPARE(d.line(), QString("No problems found"));
        for (const QString& change : changes) d.change(change);
        CheckMarks(d, marks);
        QCOMPARE(d.line(), line);
        QCOMPARE(Described(d.child("FindingsLine")), line);

        d.ok();
        QCOMPARE(d.boxes.shown, std::vector<ShownBox>{okShows});
        QVERIFY(d.dialog->isVisible());
        QVERIFY(!std::filesystem::exists(d.document));
    }

    // Yes to OK's question writes the values as typed and closes the dialog.
    void okWithErrorsWritesOnYes()
    {
        Dialog d;
        d.show();
        d.change("E_ID_RTU=300");
        d.boxes.answer = true;
        d.ok();
        QCOMPARE(d.boxes.shown.size(), std::size_t(1));
        QCOMPARE(d.boxes.shown[0].kind, ShownBox::Question);
        QVERIFY(!d.dialog->isVisible());
        PargenValues expected;
        expected.IDDev_Ser = "300";
        QCOMPARE(test::ReadText(d.document), PargenXml(expected));
    }

    // The document read at the showing is checked at once, with the project's other documents
    // as they stand at that showing; each change of a field, typed or chosen, checks again.
    void theShowingChecksWhatItReadAndEachChangeChecksAgain()
    {
        Dialog d;
        test::WriteText(d.document, "<GeneralParameter><BaudRateCAN>12</BaudRateCAN><Baud_Ser>12</Baud_Ser>"
                                    "<IDDev_Ser>300</IDDev_Ser><TO_ModReg>100</TO_ModReg></GeneralParameter>");
        d.show();
        const QString canRate("Error: element \"BaudRateCAN\": -1 selects no item of its list (0 to 8)");
        const QString serialRate("Error: element \"Baud_Ser\": -1 selects no item of its list (0 to 7)");
        const QString cut("Error: element \"IDDev_Ser\": 300 is cut to 44 (field of 8 bits)");
        CheckMarks(d, {"CB_BR_CAN\t" + canRate + "\tThe bit rate of the CAN bus\n" + canRate,
                       "CB_BR_RTU\t" + serialRate + "\tThe bit rate of the serial line\n" + serialRate,
                       "E_ID_RTU\t" + cut + "\tThe gateway's Modbus slave address, 1 to 247\n" + cut});
        QCOMPARE(d.line(), QString("3 errors"));

        d.change("CB_BR_CAN=250");  // the item the text names, as OK would store it
        QCOMPARE(d.line(), QString("2 errors"));
        d.child<QComboBox>("CB_BR_RTU")->setCurrentIndex(3);
        QCOMPARE(d.line(), QString("1 error"));
        d.change("E_ID_RTU=30");
        CheckMarks(d, {});
        QCOMPARE(d.line(), QString("No problems found"));
        // Nothing to go to: the focus stays.
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused, Qt::Key_F8);
        QCOMPARE(QApplication::focusWidget(), focused);

        d.boxes.answer = true;  // drop the changes
        d.dialog->reject();
        test::WriteText(d.project / "RInfoCob.xml", kMapWithRegister100);
        d.show();
        const QString shared("Error (RInfoCob.xml, row 3): Modbus index 100 is also the register \"TO_ModReg\" of "
                             "pargen.xml");
        CheckMarks(d, {"CB_BR_CAN\t" + canRate + "\tThe bit rate of the CAN bus\n" + canRate,
                       "CB_BR_RTU\t" + serialRate + "\tThe bit rate of the serial line\n" + serialRate,
                       "E_TO_MR\t" + shared + "\tThe Modbus register of the data time-out, 1 to 65535\n" + shared,
                       "E_ID_RTU\t" + cut + "\tThe gateway's Modbus slave address, 1 to 247\n" + cut});
        QCOMPARE(d.line(), QString("4 errors"));
    }

    // F8 and Shift+F8 take the focus to the next and previous field with a finding, going round,
    // and scroll it into view in a window shorter than the dialog; a value is ready to be typed over.
    void f8GoesRoundTheFieldsWithFindings_data()
    {
        QTest::addColumn<QString>("from");          // the field with the focus first
        QTest::addColumn<QStringList>("keys");      // "F8" or "Shift+F8", one after the other
        QTest::addColumn<QStringList>("reached");   // the focus after each
        QTest::newRow("F8 from OK, round") << "bitbtn1" << QStringList{"F8", "F8", "F8", "F8"}
                                           << QStringList{"CB_BR_CAN", "E_TO_Data", "E_ID_RTU", "CB_BR_CAN"};
        QTest::newRow("Shift+F8 from OK, round") << "bitbtn1" << QStringList{"Shift+F8", "Shift+F8", "Shift+F8", "Shift+F8"}
                                                 << QStringList{"E_ID_RTU", "E_TO_Data", "CB_BR_CAN", "E_ID_RTU"};
        QTest::newRow("F8 from a field without findings") << "E_PGN1" << QStringList{"F8"} << QStringList{"E_ID_RTU"};
        QTest::newRow("Shift+F8 from a field without findings")
            << "E_PGN1" << QStringList{"Shift+F8"} << QStringList{"E_TO_Data"};
        QTest::newRow("F8 and back from a field with findings")
            << "E_TO_Data" << QStringList{"F8", "Shift+F8"} << QStringList{"E_ID_RTU", "E_TO_Data"};
    }
    void f8GoesRoundTheFieldsWithFindings()
    {
        QFETCH(QString, from);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, reached);
        Dialog d;
        test::WriteText(d.document, "<GeneralParameter><BaudRateCAN>12</BaudRateCAN><TimeOut_Data>x</TimeOut_Data>"
                                    "<IDDev_Ser>0</IDDev_Ser></GeneralParameter>");
        d.show();
        d.dialog->setFixedSize(233 + 20, 300);
        QTRY_VERIFY(d.dialog->findChild<QScrollArea*>()->verticalScrollBar()->maximum() > 0);
        d.child(from)->setFocus(Qt::OtherFocusReason);
        for (int i = 0; i < keys.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F8, keys[i] == "F8" ? Qt::NoModifier : Qt::ShiftModifier);
            QWidget* now = QApplication::focusWidget();
            QCOMPARE(now->objectName(), reached[i]);
            // Whole in the viewport, which shows the body from the scroll position down.
            auto* scroll = d.dialog->findChild<QScrollArea*>();
            const QRect shown(now->mapTo(scroll->viewport(), QPoint(0, 0)), now->size());
            QVERIFY2(scroll->viewport()->rect().contains(shown), qPrintable(reached[i]));
            if (auto* edit = qobject_cast<QLineEdit*>(now)) QCOMPARE(edit->selectedText(), edit->text());
        }
    }
};

}  // namespace

QTEST_MAIN(CommunicationFindingsTest)
#include "communication_findings_test.moc"
