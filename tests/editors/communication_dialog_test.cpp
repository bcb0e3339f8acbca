#include "documents/pargen_document.h"
#include "editors/communication_dialog.h"
#include "platform/platform.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
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

// The name a screen reader announces for a control. Outside Windows a combo box gives its value as
// its name, and the reader takes the caption from the label tied to it.
QString AnnouncedName(QAccessibleInterface* face)
{
#ifndef Q_OS_WIN
    if (face->role() == QAccessible::ComboBox) {
        const auto labels = face->relations(QAccessible::Label);
        return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
    }
#endif
    return face->text(QAccessible::Name);
}

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
        QCOMPARE(buddies.value("Priority and Destination "), QString("E_Pri_Des"));
        QCOMPARE(buddies.value("PGN Part 1"), QString("E_PGN1"));
        QCOMPARE(buddies.value("PGN Part 2"), QString("E_PGN2"));
        QCOMPARE(buddies.value("Source Address"), QString("E_SA"));
        QCOMPARE(buddies.value("Parity"), QString("CB_PAR_RTU"));
        QCOMPARE(buddies.value("Dev ID"), QString("E_ID_RTU"));

        s.show();
        QCOMPARE(s.child<QPushButton>("bitbtn1")->mapTo(s.dialog.get(), QPoint(0, 0)), QPoint(38, 584));
        QCOMPARE(s.child<QPushButton>("bitbtn2")->mapTo(s.dialog.get(), QPoint(0, 0)), QPoint(120, 584));
        QCOMPARE(s.child<QGroupBox>("GB_Serial")->mapTo(s.dialog.get(), QPoint(0, 0)), QPoint(6, 408));
        // The groups' body and the buttons' strip below it share the common background.
        const QImage picture = s.dialog->grab().toImage();
        QCOMPARE(picture.pixelColor(2, 300), QColor(248, 247, 237));
        QCOMPARE(picture.pixelColor(2, 600), QColor(248, 247, 237));
    }

    // What a screen reader says for each control and each framed box: a name that tells it from the
    // others, check boxes as check boxes, and what a value means where the caption does not say.
    void screenReaderNamesAndRoles_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        const auto row = [](const char* control, QAccessible::Role role, const char* name, const char* description = "") {
            QTest::newRow(control) << control << int(role) << name << description;
        };
        row("GB_J1939", QAccessible::Grouping, "J1939");
        row("GB_CANType", QAccessible::Grouping, "Identifier length");
        row("GB_TimeOut", QAccessible::Grouping, "Data time-out");
        row("GB_Own", QAccessible::Grouping, "Peer to peer and writing on request");
        row("GB_Request", QAccessible::Grouping, "Remote request registers");
        row("GB_Serial", QAccessible::Grouping, "Serial");
        row("GB_Interface", QAccessible::Grouping, "Serial interface");
        row("CB_BR_CAN", QAccessible::ComboBox, "J1939 baud rate (kbit/s)", "The bit rate of the CAN bus");
        row("RB_CAN_B", QAccessible::RadioButton, "CAN Bus 2.0B (CobID 29Bit)");
        row("E_TO_Data", QAccessible::EditableText, "TimeOut Data", "In seconds, 0 to 255");
        row("E_TO_MR", QAccessible::EditableText, "Modbus Register", "The Modbus register of the data time-out, 1 to 65535");
        row("CB_PtoP", QAccessible::CheckBox, "Peer to Peer");
        row("CB_En_W_J1939", QAccessible::CheckBox, "Enable write J1939 on request");
        row("CB_EnRemReq", QAccessible::CheckBox, "Enable Remote Request");
        row("E_Pri_Des", QAccessible::EditableText, "Priority and Destination ", "Modbus register, 1 to 65535");
        row("E_SA", QAccessible::EditableText, "Source Address", "Modbus register, 1 to 65535");
        row("RB_RS232", QAccessible::RadioButton, "RS232");
        row("CB_BR_RTU", QAccessible::ComboBox, "Serial baud rate (bit/s)", "The bit rate of the serial line");
        row("CB_PAR_RTU", QAccessible::ComboBox, "Parity");
        row("E_ID_RTU", QAccessible::EditableText, "Dev ID", "The gateway's Modbus slave address, 1 to 247");
        row("bitbtn1", QAccessible::Button, "OK");
        row("FindingsLine", QAccessible::StaticText, "Check of the project", "No problems found");
    }
    void screenReaderNamesAndRoles()
    {
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(QString, description);
        Setup s;
        s.show();
        auto* widget = s.child<QWidget>(control.toLatin1());
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(face);
        QCOMPARE(int(face->role()), role);
#ifndef Q_OS_WIN
        // Here the caption stands for the name, and the name holds the caption.
        if (face->role() == QAccessible::ComboBox) {
            QVERIFY2(name.contains(AnnouncedName(face), Qt::CaseInsensitive), qPrintable(AnnouncedName(face)));
            QCOMPARE(face->text(QAccessible::Value), qobject_cast<QComboBox*>(widget)->currentText());
            name = AnnouncedName(face);
        }
#endif
        QCOMPARE(AnnouncedName(face), name);
        QCOMPARE(face->text(QAccessible::Description), description);
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            QVERIFY(face->state().checkable);
            QVERIFY(!face->state().checked);
            box->setChecked(true);
            QVERIFY(face->state().checked);
        }
    }

    // Every control the keyboard reaches, and every framed box, has a name, and with its description
    // tells itself from the others.
    void everyControlHasANameOfItsOwn()
    {
        Setup s;
        s.show();
        QStringList controls;
        QHash<QString, QString> named;
        for (QWidget* widget : s.dialog->findChildren<QWidget*>()) {
            // A combo box's own edit box hands the focus to the combo box.
            const bool control = widget->isVisibleTo(s.dialog.get()) && (widget->focusPolicy() & Qt::TabFocus) &&
                                 !widget->focusProxy();
            if (!control && !qobject_cast<QGroupBox*>(widget)) continue;
            controls << widget->objectName();
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            const QString name = AnnouncedName(face).trimmed() + " " + face->text(QAccessible::Description);
            QVERIFY2(!AnnouncedName(face).trimmed().isEmpty(), qPrintable(widget->objectName()));
            QVERIFY2(!named.contains(name), qPrintable(name + ": " + named.value(name) + " and " + widget->objectName()));
            named.insert(name, widget->objectName());
        }
        controls.sort();
        QCOMPARE(controls, (QStringList{"CB_BR_CAN", "CB_BR_RTU", "CB_EnRemReq", "CB_En_W_J1939", "CB_PAR_RTU", "CB_PtoP",
                                        "E_ID_RTU", "E_PGN1", "E_PGN2", "E_Pri_Des", "E_SA", "E_TO_Data", "E_TO_MR",
                                        "GB_CANType", "GB_Interface", "GB_J1939", "GB_Own", "GB_Request", "GB_Serial",
                                        "GB_TimeOut", "RB_CAN_A", "RB_CAN_B", "RB_RS232", "RB_RS485", "bitbtn1",
                                        "bitbtn2"}));
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
        QTest::newRow("time-out 256") << "256" << "1" << "Error! The Time Out Data must be between 0 and 255 seconds";
        QTest::newRow("trailing blank") << "7 " << "1" << "Error! The Time Out Data must be between 0 and 255 seconds";
        QTest::newRow("register 0") << "0" << "0" << "Error! The Modbus Register must be between 1 and 65535 seconds";
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

    // Remote requests off: the dialog's checks leave the request registers alone, but the image
    // cannot hold texts that are not numbers, so OK asks before it writes them.
    void okWritesTheWholeDocumentAsTyped()
    {
        Setup s;
        s.show();
        s.type("E_TO_Data", "$FF");
        s.type("E_Pri_Des", "x");
        s.type("E_PGN1", "");
        s.child<QComboBox>("CB_BR_RTU")->setCurrentIndex(7);
        s.child<QCheckBox>("CB_PtoP")->setChecked(true);
        s.boxes.answer = true;
        s.ok();
        QCOMPARE(s.boxes.shown, (std::vector<ShownBox>{
                                    {ShownBox::Question, "The communication document has 2 errors:\n\n"
                                                         "element \"Pri_Des\": 'x' is not a valid integer value; the "
                                                         "device gets 0\n"
                                                         "element \"PGN1\": '' is not a valid integer value; the device "
                                                         "gets 0\n\nSave anyway?"}}));
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

    // However small the screen (at 200 % the offscreen screen is 400 x 400), OK, Cancel and the
    // count of the check's findings are in view without scrolling, and so is the focus: the dialog
    // fits the screen and its groups scroll.
    void okStaysOnTheScreen()
    {
        Setup s;
        s.show();
        const QRect screen = s.dialog->screen()->availableGeometry();
        QVERIFY(screen.contains(s.dialog->frameGeometry()));
        auto* scroll = s.dialog->findChild<QScrollArea*>();
        QVERIFY(scroll);
        for (const char* name : {"bitbtn1", "bitbtn2", "FindingsLine"}) {
            auto* button = s.child<QWidget>(name);
            QVERIFY2(ShownWhole(button), name);
            QVERIFY2(screen.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())), name);
            QVERIFY2(!scroll->isAncestorOf(button), name);
        }
        QCOMPARE(s.dialog->focusWidget(), s.child<QPushButton>("bitbtn1"));
        QVERIFY(ShownWhole(s.dialog->focusWidget()));
        QVERIFY(ShownWhole(s.child<QComboBox>("CB_BR_CAN")));  // the groups start at the top
        // ... and so does the next showing, however far the user scrolled.
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        s.cancel();
        s.show();
        QVERIFY(ShownWhole(s.child<QComboBox>("CB_BR_CAN")));
        QVERIFY(ShownWhole(s.dialog->focusWidget()));
        if (screen.height() >= 700) {
            QCOMPARE(s.dialog->size(), QSize(233, 622));
            QCOMPARE(scroll->verticalScrollBar()->maximum(), 0);
        } else {
            QVERIFY(s.dialog->height() < 622);
            QVERIFY(scroll->verticalScrollBar()->maximum() > 0);
            QCOMPARE(scroll->horizontalScrollBar()->maximum(), 0);  // the vertical bar took room beside the groups
        }
    }

    // In a window shorter than the dialog the groups scroll above OK and Cancel, and the keyboard
    // brings each control it reaches into view, forwards and backwards.
    void theKeyboardScrollsTheGroupsAboveTheButtons()
    {
        Setup s;
        s.show();
        s.dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.dialog.get()));
        s.dialog->setFixedSize(233 + 20, 300);
        auto* scroll = s.dialog->findChild<QScrollArea*>();
        QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > 0);
        auto* ok = s.child<QPushButton>("bitbtn1");
        auto* cancel = s.child<QPushButton>("bitbtn2");
        QVERIFY(ShownWhole(ok));
        QVERIFY(ShownWhole(cancel));
        QCOMPARE(QApplication::focusWidget(), ok);

        // Without a document the identifier buttons are disabled; Tab stops at one button of a pair.
        const QStringList order{"bitbtn2", "CB_BR_CAN", "E_TO_Data", "E_TO_MR", "CB_PtoP", "CB_En_W_J1939",
                                "CB_EnRemReq", "E_Pri_Des", "E_PGN1", "E_PGN2", "E_SA", "RB_RS232",
                                "CB_BR_RTU", "CB_PAR_RTU", "E_ID_RTU", "bitbtn1"};
        for (const bool forward : {true, false}) {
            QStringList reached;
            do {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, forward ? Qt::NoModifier : Qt::ShiftModifier);
                QWidget* now = QApplication::focusWidget();
                QVERIFY2(ShownWhole(now), qPrintable(now->objectName()));
                QVERIFY2(ShownWhole(ok) && ShownWhole(cancel), qPrintable(now->objectName()));
                reached << now->objectName();
            } while (QApplication::focusWidget() != ok && reached.size() < 40);
            QStringList expected = order;
            if (!forward) std::reverse(expected.begin(), expected.end() - 1);  // back from OK to OK
            QCOMPARE(reached, expected);
        }
        // Tab from OK goes to Cancel, then to the top of the groups; Shift+Tab from OK to their bottom.
        QTest::keyClick(ok, Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), s.child<QComboBox>("CB_BR_CAN"));
        QCOMPARE(scroll->verticalScrollBar()->value(), 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), s.child("E_ID_RTU"));
        QVERIFY(ShownWhole(s.child("E_ID_RTU")));
        QCOMPARE(scroll->verticalScrollBar()->value(), scroll->verticalScrollBar()->maximum());
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
