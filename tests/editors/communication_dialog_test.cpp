#include "documents/pargen_document.h"
#include "editors/communication_dialog.h"
#include "platform/platform.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace trelvant;
using trelvant::test::ShownBox;

namespace {

// A project folder and the dialog on its pargen.xml.
struct Setup {
    test::TempFolder project;
    test::RecordingMessageBoxes boxes;
    std::filesystem::path document = project / "pargen.xml";
    std::unique_ptr<TFpargen> dialog = std::make_unique<TFpargen>(boxes);

    Setup() { dialog->setDocumentPath(FromPath(document)); }

    template <typename T = QLineEdit>
    T* child(const char* name) const
    {
        T* found = dialog->findChild<T*>(QString::fromLatin1(name));
        if (!found) qFatal("no control %s", name);
        return found;
    }
    void type(const char* edit, const QString& text) const { child(edit)->setText(text); }
    void show() const
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void ok() const { QTest::mouseClick(child<QPushButton>("bitbtn1"), Qt::LeftButton); }
    void cancel() const { QTest::mouseClick(child<QPushButton>("bitbtn2"), Qt::LeftButton); }
    std::string file() const { return test::ReadText(document); }
};

class CommunicationDialogTest : public QObject {
    Q_OBJECT

private slots:
    void layoutAndInitialValues()
    {
        Setup s;
        QCOMPARE(s.dialog->windowTitle(), QString("SET COMMUNICATION"));
        QCOMPARE(s.dialog->size(), QSize(233, 622));
        QVERIFY(!(s.dialog->windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(s.child<QGroupBox>("GB_J1939")->title(), QString(" J1939 "));
        QCOMPARE(s.child<QGroupBox>("GB_Serial")->title(), QString("Serial"));

        auto* canRate = s.child<QComboBox>("CB_BR_CAN");
        QVERIFY(canRate->isEditable());
        QCOMPARE(canRate->count(), 9);
        QCOMPARE(canRate->currentText(), QString("10"));
        QVERIFY(!s.child<QComboBox>("CB_BR_RTU")->isEditable());
        QCOMPARE(s.child<QComboBox>("CB_BR_RTU")->currentText(), QString("9600"));
        QCOMPARE(s.child<QComboBox>("CB_PAR_RTU")->currentText(), QString("NONE"));
        QVERIFY(s.child<QRadioButton>("RB_CAN_B")->isChecked());
        QVERIFY(s.child<QRadioButton>("RB_RS485")->isChecked());
        QCOMPARE(s.child("E_TO_Data")->text(), QString("0"));
        QCOMPARE(s.child("E_TO_MR")->text(), QString("1"));
        QCOMPARE(s.child("E_ID_RTU")->text(), QString("1"));
        QCOMPARE(s.child("E_TIME_RTU")->text(), QString("1000"));
        QVERIFY(s.child("E_TIME_RTU")->isHidden());

        // Screen readers and keyboard users reach each box by the caption beside it.
        QHash<QString, QString> buddies;
        for (const QLabel* label : s.dialog->findChildren<QLabel*>())
            if (label->buddy()) buddies.insert(label->text(), label->buddy()->objectName());
        QCOMPARE(buddies.value("Baud rate"), QString("CB_BR_RTU"));  // both rates have the caption; any will do
        QCOMPARE(buddies.value("TimeOut Data"), QString("E_TO_Data"));
        QCOMPARE(buddies.value("Modbus Register"), QString("E_TO_MR"));
        QCOMPARE(buddies.value("Priority and Destiantion "), QString("E_Pri_Des"));
        QCOMPARE(buddies.value("PGN Part 1"), QString("E_PGN1"));
        QCOMPARE(buddies.value("PGN Part 2"), QString("E_PGN2"));
        QCOMPARE(buddies.value("Source Address"), QString("E_SA"));
        QCOMPARE(buddies.value("Parity"), QString("CB_PAR_RTU"));
        QCOMPARE(buddies.value("Dev ID"), QString("E_ID_RTU"));
    }

    void showReadsTheDocumentAndOffers29BitIdentifiersOnly()
    {
        Setup s;
        PargenValues stored;
        stored.BaudRateCAN = 5;
        stored.CANType29Bit = false;
        stored.Par_Ser = 2;
        stored.SerialRS485 = false;
        stored.TimeOut_Ser = "500";
        stored.SA = "$FF";
        WritePargen(s.document, stored);
        s.show();
        QCOMPARE(s.child<QComboBox>("CB_BR_CAN")->currentText(), QString("250"));
        QCOMPARE(s.child<QComboBox>("CB_PAR_RTU")->currentText(), QString("EVEN"));
        QVERIFY(s.child<QRadioButton>("RB_RS232")->isChecked());
        QCOMPARE(s.child("E_SA")->text(), QString("$FF"));
        QCOMPARE(s.child("E_TIME_RTU")->text(), QString("500"));
        QVERIFY(s.child<QRadioButton>("RB_CAN_B")->isChecked());
        QVERIFY(s.child<QRadioButton>("RB_CAN_B")->isEnabled());
        QVERIFY(!s.child<QRadioButton>("RB_CAN_A")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), s.child<QPushButton>("bitbtn1"));
        QVERIFY(s.boxes.shown.empty());
    }

    void withoutAReadableDocumentTheControlsKeepTheirValues_data()
    {
        QTest::addColumn<QByteArray>("document");  // empty: no file
        QTest::newRow("no document") << QByteArray();
        QTest::newRow("not well-formed") << QByteArray("<GeneralParameter><SA>3</SA>");
        QTest::newRow("CANType not a number") << QByteArray("<GeneralParameter><CANType>x</CANType><SA>3</SA></GeneralParameter>");
    }
    void withoutAReadableDocumentTheControlsKeepTheirValues()
    {
        QFETCH(QByteArray, document);
        Setup s;
        if (!document.isEmpty()) test::WriteText(s.document, document.toStdString());
        s.type("E_SA", "77");
        s.show();
        const bool read = QByteArray(QTest::currentDataTag()) == "CANType not a number";
        QCOMPARE(s.child("E_SA")->text(), QString(read ? "3" : "77"));
        QVERIFY(s.child<QRadioButton>("RB_CAN_B")->isChecked());
        QVERIFY(!s.child<QRadioButton>("RB_CAN_B")->isEnabled());
        QVERIFY(!s.child<QRadioButton>("RB_CAN_A")->isEnabled());
        QVERIFY(s.boxes.shown.empty());
    }

    void okShowsTheFirstFailedCheckAndWritesNothing_data()
    {
        QTest::addColumn<QString>("timeOut");
        QTest::addColumn<QString>("timeOutRegister");
        QTest::addColumn<QString>("message");
        QTest::newRow("time-out 256") << "256" << "1" << "Error! The Time Out Data must to be between 0 and 255 seconds";
        QTest::newRow("trailing blank") << "7 " << "1" << "Error! The Time Out Data must to be between 0 and 255 seconds";
        QTest::newRow("register 0") << "0" << "0" << "Error! The Modbus Register must to be between 1 and 65535 seconds";
        QTest::newRow("register equals priority") << "0" << "1"
                                                  << "Error! The Modbus Register cannot be equal to Priority and Destination";
    }
    void okShowsTheFirstFailedCheckAndWritesNothing()
    {
        QFETCH(QString, timeOut);
        QFETCH(QString, timeOutRegister);
        QFETCH(QString, message);
        Setup s;
        s.show();
        s.type("E_TO_Data", timeOut);
        s.type("E_TO_MR", timeOutRegister);
        s.child<QCheckBox>("CB_EnRemReq")->setChecked(true);
        s.type("E_Pri_Des", "1");
        s.type("E_PGN1", "3");
        s.type("E_PGN2", "4");
        s.type("E_SA", "5");
        s.ok();
        QCOMPARE(s.boxes.shown, (std::vector<ShownBox>{{ShownBox::Error, message}}));
        QVERIFY(!std::filesystem::exists(s.document));
        QVERIFY(s.dialog->isVisible());
        QCOMPARE(s.child("E_TO_Data")->text(), timeOut);
    }

    void okWritesTheWholeDocumentAsTyped()
    {
        Setup s;
        s.show();
        s.type("E_TO_Data", "$FF");
        s.type("E_Pri_Des", "x");  // remote requests off: not checked
        s.type("E_PGN1", "");
        s.child<QComboBox>("CB_BR_RTU")->setCurrentIndex(7);
        s.child<QCheckBox>("CB_PtoP")->setChecked(true);
        s.ok();
        QVERIFY(s.boxes.shown.empty());
        QVERIFY(!s.dialog->isVisible());
        QCOMPARE(s.dialog->result(), int(QDialog::Accepted));

        PargenValues expected;
        expected.TimeOut_Data = "$FF";
        expected.Pri_Des = "x";
        expected.PGN1 = "";
        expected.Baud_Ser = 7;
        expected.Peer_to_Peer = true;
        QCOMPARE(s.file(), PargenXml(expected));
        QVERIFY(s.file().find("<CANType>1</CANType>") != std::string::npos);
    }

    void cancelWritesNothing()
    {
        Setup s;
        WritePargen(s.document, PargenValues{});
        const std::string before = s.file();
        s.show();
        s.type("E_TO_Data", "12");
        s.boxes.answer = true;  // discard
        s.cancel();
        QCOMPARE(s.boxes.shown, (std::vector<ShownBox>{{ShownBox::Question, kDiscardChanges}}));
        QVERIFY(!s.dialog->isVisible());
        QCOMPARE(s.dialog->result(), int(QDialog::Rejected));
        QCOMPARE(s.file(), before);
        // The next showing reads the document again.
        s.show();
        QCOMPARE(s.child("E_TO_Data")->text(), QString("0"));
    }

    // A typed CAN bit rate that names an item stores that item; any other text is refused at OK,
    // naming the rates, and the dialog stays open with the text.
    void aTypedCanBitRateIsTheItemItNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");  // -1: refused
        QTest::newRow("250") << "250" << 5;
        QTest::newRow("1000 with blanks") << " 1000 " << 8;
        QTest::newRow("10") << "10" << 0;
        QTest::newRow("300") << "300" << -1;
        QTest::newRow("250k") << "250k" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void aTypedCanBitRateIsTheItemItNames()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        Setup s;
        PargenValues before;
        before.BaudRateCAN = 6;  // 500
        WritePargen(s.document, before);
        const std::string document = s.file();
        s.show();
        auto* rate = s.child<QComboBox>("CB_BR_CAN");
        rate->setFocus();
        rate->lineEdit()->selectAll();
        QTest::keyClick(rate->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(rate->lineEdit(), typed);
        s.ok();
        if (stored < 0) {
            QCOMPARE(s.boxes.shown, (std::vector<ShownBox>{{ShownBox::Error, "Error! The Baud rate of J1939 must be one of "
                                                                             "10, 20, 50, 100, 125, 250, 500, 800, 1000 (kbit/s)"}}));
            QVERIFY(s.dialog->isVisible());
            QCOMPARE(rate->currentText(), typed);
            QCOMPARE(s.file(), document);
            s.boxes.answer = true;
            s.cancel();
            return;
        }
        QCOMPARE(s.boxes.shown, std::vector<ShownBox>{});
        QVERIFY(!s.dialog->isVisible());
        PargenValues expected = before;
        expected.BaudRateCAN = stored;
        QCOMPARE(s.file(), PargenXml(expected));
    }

    // Escape with changes asks; No keeps the dialog and the typed values. Without changes it
    // closes at once.
    void escapeAsksBeforeDroppingChanges()
    {
        Setup s;
        s.show();
        QTest::keyClick(s.dialog.get(), Qt::Key_Escape);
        QVERIFY(!s.dialog->isVisible());
        QCOMPARE(s.boxes.shown, std::vector<ShownBox>{});

        s.show();
        s.child<QCheckBox>("CB_EnRemReq")->setChecked(true);
        QTest::keyClick(s.dialog.get(), Qt::Key_Escape);
        QVERIFY(s.dialog->isVisible());
        QVERIFY(s.child<QCheckBox>("CB_EnRemReq")->isChecked());
        QCOMPARE(s.boxes.shown, (std::vector<ShownBox>{{ShownBox::Question, kDiscardChanges}}));
        s.boxes.answer = true;
        QTest::keyClick(s.dialog.get(), Qt::Key_Escape);
        QVERIFY(!s.dialog->isVisible());
        QVERIFY(!std::filesystem::exists(s.document));
    }

    // However small the screen (at 200 % the offscreen screen is 400 x 400), OK can be reached:
    // the dialog fits the screen and its controls scroll.
    void okStaysOnTheScreen()
    {
        Setup s;
        s.show();
        const QRect screen = s.dialog->screen()->availableGeometry();
        QVERIFY(screen.contains(s.dialog->frameGeometry()));
        auto* scroll = s.dialog->findChild<QScrollArea*>();
        QVERIFY(scroll);
        auto* ok = s.child<QPushButton>("bitbtn1");
        scroll->ensureWidgetVisible(ok);
        const QRect okOnScreen(ok->mapToGlobal(QPoint(0, 0)), ok->size());
        QVERIFY(screen.contains(okOnScreen));
        QVERIFY(scroll->viewport()->rect().contains(QRect(ok->mapTo(scroll->viewport(), QPoint(0, 0)), ok->size())));
        if (screen.height() >= 700) QCOMPARE(s.dialog->size(), QSize(233, 622));
        else QVERIFY(s.dialog->height() < 622);
    }

    void aDocumentThatCannotBeWrittenKeepsTheDialogOpen()
    {
        Setup s;
        s.dialog->setDocumentPath(FromPath(s.project / "gone" / "pargen.xml"));
        s.show();
        s.ok();
        QCOMPARE(s.boxes.shown.size(), size_t(1));
        QCOMPARE(s.boxes.shown[0].kind, ShownBox::Toolkit);
        QVERIFY(s.boxes.shown[0].text.startsWith("Unable to write to " + FromPath(s.project / "gone" / "pargen.xml")));
        QVERIFY(s.dialog->isVisible());
    }
};

}  // namespace

QTEST_MAIN(CommunicationDialogTest)
#include "communication_dialog_test.moc"
