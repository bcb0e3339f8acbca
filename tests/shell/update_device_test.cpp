// Update Device from the main window: the check, its question, the build and its errors.
#include "tests/shell/main_window_fixture.h"

using namespace trelvant;
using namespace trelvant::test;

class UpdateDeviceTest : public QObject {
    Q_OBJECT

private slots:
    void updateDeviceBuildsTheImageAndWritesTheBankFiles()
    {
        Program program;
        program.makeFolder("Boiler2/bin");
        program.writeIni("[lastproj]\nprojectname=\\Boiler2\n");
        const auto project = program.dir / "PROJECTS" / "Boiler2";
        test::WriteText(project / "RCobDef.xml", "<COBID><row PGN=\"0xFECA\" ID_DEV=\"0x21\" Delete=\"N\"/></COBID>");
        WritePargen(project / "pargen.xml", PargenValues{});
        TFTrelvanteFirmWare& window = program.start();

        // The bank files are written before the firmware dialog shows.
        std::string bankSourceWhenShown;
        QString shownDialog;
        ModalScript firmwareDialog([&](QDialog* dialog) {
            shownDialog = dialog->objectName();
            bankSourceWhenShown = test::ReadText(project / "bin" / "bankg.c");
            QTest::mouseClick(program.child(dialog, "LbButton1"), Qt::LeftButton);
        });
        program.click("CreateBin");
        QVERIFY(firmwareDialog.ran());
        QCOMPARE(shownDialog, QString("TFModifyFileSx"));
        QCOMPARE(bankSourceWhenShown.size(), size_t(235593));
        QCOMPARE(program.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Error, "Error file Pelmora.sx not found"}}));
        QCOMPARE(window.image().get32(1, 0), 0xFECAu);
        QCOMPARE(window.image().get16(1, 16020), 65033);  // the platform's clock
        const auto bank1 = window.image().bank(1);
        QCOMPARE(test::ReadText(project / "bin" / "bank1.bin"), std::string(bank1.begin(), bank1.end()));
        QCOMPARE(test::ReadText(project / "bin" / "bank5.bin"), std::string(16384, '\0'));
        QCOMPARE(test::ReadText(project / "bin" / "bankg.c").size(), size_t(235593));
    }

    void updateDeviceErrorsEndInTheErrorBoxAndWriteNothing_data()
    {
        QTest::addColumn<bool>("withBin");
        QTest::addColumn<QString>("pargen");
        QTest::addColumn<QString>("message");  // %1: the project folder
        QTest::addColumn<bool>("asked");       // the check found errors, and the user went on
        QTest::newRow("builder refuses") << true << "<GeneralParameter><CANType>1</CANType></GeneralParameter>"
                                         << "%1" + kSep + "pargen.xml: element \"BaudRateCAN\" is missing or holds no text"
                                         << true;
        QTest::newRow("no bin folder") << false << ""
                                       << "Unable to write to %1" + kSep + "bin: " + QString::fromStdString(SystemReason(ENOENT))
                                       << false;
    }
    void updateDeviceErrorsEndInTheErrorBoxAndWriteNothing()
    {
        QFETCH(bool, withBin);
        QFETCH(QString, pargen);
        QFETCH(QString, message);
        QFETCH(bool, asked);
        Program program;
        program.makeFolder(withBin ? "Boiler2/bin" : "Boiler2");
        program.writeIni("[lastproj]\nprojectname=\\Boiler2\n");
        const auto project = program.dir / "PROJECTS" / "Boiler2";
        if (!pargen.isEmpty()) test::WriteText(project / "pargen.xml", pargen.toStdString());
        program.start();

        program.fake.boxes.answer = true;
        program.click("CreateBin");
        QCOMPARE(program.fake.boxes.shown.size(), asked ? size_t(2) : size_t(1));
        if (asked) {
            QCOMPARE(program.fake.boxes.shown.front().kind, ShownBox::Question);
            QVERIFY(program.fake.boxes.shown.front().text.contains(
                "\npargen.xml: error: element \"BaudRateCAN\" is missing or holds no text\n"));
        }
        QCOMPARE(program.fake.boxes.shown.back(),
                 (ShownBox{ShownBox::Toolkit, message.arg(program.projects() + kSep + "Boiler2")}));
        QVERIFY(!std::filesystem::exists(project / "bin") || std::filesystem::is_empty(project / "bin"));
    }

    // The check runs before the build: errors are asked about, and only Yes builds.
    void updateDeviceAsksAboutErrorsFirst_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("No stops before anything is built or written") << false;
        QTest::newRow("Yes builds and writes as without the check") << true;
    }
    void updateDeviceAsksAboutErrorsFirst()
    {
        QFETCH(bool, answer);
        Program program;
        const auto project = program.lastProjectWithPargen();
        test::WriteText(project / "RCobDef.xml", "<COBID><row PGN=\"0xFECA\" ID_DEV=\"0x21\" Delete=\"N\"/></COBID>");
        // Twelve registers cut to 16 bits, and a row past the frame list (a warning, not listed).
        std::string rows;
        for (int i = 1; i <= 12; ++i)
            rows += "<row Index=\"" + std::to_string(65536 + 100 + i) + "\" NrPdo=\"1\" PosComp=\"" + std::to_string(i % 8 + 1) + "\"/>";
        test::WriteText(project / "RInfoCob.xml", "<RInfoCob>" + rows + "<row Index=\"300\" NrPdo=\"2\" PosComp=\"0\"/></RInfoCob>");
        TFTrelvanteFirmWare& window = program.start();

        program.fake.boxes.answer = answer;
        std::optional<ModalScript> firmwareDialog;
        if (answer)
            firmwareDialog.emplace([&](QDialog* dialog) { QTest::mouseClick(program.child(dialog, "LbButton1"), Qt::LeftButton); });
        program.click("CreateBin");

        QVERIFY(!program.fake.boxes.shown.empty());
        const ShownBox asked = program.fake.boxes.shown.front();
        QCOMPARE(asked.kind, ShownBox::Question);
        QVERIFY2(asked.text.startsWith("The check of the project found 12 errors"), qPrintable(asked.text));
        QVERIFY(asked.text.contains("\nRInfoCob.xml, row 1: error: Modbus index 65637 is cut to 101 (field of 16 bits)\n"));
        QVERIFY(asked.text.contains("\nRInfoCob.xml, row 10: error: Modbus index 65646 is cut to 110 (field of 16 bits)\n"));
        QVERIFY(!asked.text.contains("row 11"));
        QVERIFY(!asked.text.contains("warning"));
        QVERIFY2(asked.text.endsWith(QString::fromUtf8("\n\u2026 and 2 more errors\n\nUpdate the device anyway?")),
                 qPrintable(asked.text));
        if (!answer) {
            QCOMPARE(program.fake.boxes.shown.size(), size_t(1));
            QVERIFY(std::filesystem::is_empty(project / "bin"));
            QCOMPARE(window.image().get16(1, 16020), 0);  // nothing built
            QVERIFY(!window.FModifyFileSx()->isVisible());
            return;
        }
        QVERIFY(firmwareDialog->ran());
        QCOMPARE(program.fake.boxes.shown,
                 (std::vector<ShownBox>{asked, {ShownBox::Error, "Error file Pelmora.sx not found"}}));
        QCOMPARE(window.image().get16(1, 4352), 101);  // stored cut, as without the check
        const auto bank1 = window.image().bank(1);
        QCOMPARE(test::ReadText(project / "bin" / "bank1.bin"), std::string(bank1.begin(), bank1.end()));
    }

    void updateDeviceWithWarningsOnlyAsksNothing()
    {
        Program program;
        const auto project = program.lastProjectWithPargen();
        test::WriteText(project / "TCobDef.xml", "<COBID><row Priority=\"6\" DP=\"0\" PGN=\"0xFEF1\" ID_DEV=\"0\"/></COBID>");
        // A row past the frame list and a Write J1939 flag while writing is disabled.
        test::WriteText(project / "TInfoCob.xml", "<TInfoCob><row Index=\"7\" NrPdo=\"1\" PosComp=\"18\" Write_J1939=\"1\"/>"
                                                  "<row Index=\"8\" NrPdo=\"2\" PosComp=\"52\" Write_J1939=\"0\"/></TInfoCob>");
        TFTrelvanteFirmWare& window = program.start();
        ModalScript firmwareDialog([&](QDialog* dialog) { QTest::mouseClick(program.child(dialog, "LbButton1"), Qt::LeftButton); });
        program.click("CreateBin");
        QVERIFY(firmwareDialog.ran());
        QCOMPARE(program.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Error, "Error file Pelmora.sx not found"}}));
        QCOMPARE(window.image().get8(2, 1500 + 4), 1);
        QVERIFY(std::filesystem::exists(project / "bin" / "bankg.c"));
    }

    // The box itself: the application title, a warning, readable text, and a keyboard whose
    // Return and Escape keep the safe answer.
    void theQuestionBoxIsReadableAndAnsweredByKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("answer");
        QTest::newRow("Return takes the default, No") << int(Qt::Key_Return) << int(Qt::NoModifier) << false;
        QTest::newRow("Escape is No") << int(Qt::Key_Escape) << int(Qt::NoModifier) << false;
        QTest::newRow("Alt+Y is Yes") << int(Qt::Key_Y) << int(Qt::AltModifier) << true;
        QTest::newRow("Tab to Yes, then Space") << int(Qt::Key_Tab) << int(Qt::NoModifier) << true;
    }
    void theQuestionBoxIsReadableAndAnsweredByKeyboard()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, answer);
        QtMessageBoxes boxes;
        // As many lines as the box ever lists, the longest kind among them.
        QString text = "The check of the project found 12 errors that would stop the build or give the device other "
                       "values than those typed:\n";
        for (int row = 1; row <= 9; ++row)
            text += QString("\nRInfoCob.xml, row %1: error: Modbus index %2 is cut to %3 (field of 16 bits)")
                        .arg(row).arg(65636 + row).arg(100 + row);
        text += "\nTInfoCob.xml, row 4: error: Modbus index 1 is also the register \"TO_ModReg\" of pargen.xml";
        text += QString::fromUtf8("\n\u2026 and 2 more errors\n\nUpdate the device anyway?");
        QString title, shownText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString defaultButton;
        double contrast = 0;
        ModalScript script([&](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            QVERIFY(box);
            title = box->windowTitle();
            shownText = box->text();
            icon = box->icon();
            QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label);
            contrast = test::TextContrast(label, box->palette().color(QPalette::Window));
            // Each listed finding stands on one line.
            for (const QString& line : text.split('\n'))
                QVERIFY2(label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(line), qPrintable(line));
            const QString grabs = qEnvironmentVariable("TRELVANT_GRAB_FOLDER");
            if (!grabs.isEmpty()) box->grab().save(grabs + "/update_device_question.png");
            QVERIFY(QTest::qWaitForWindowActive(box));
            QVERIFY(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
            if (key == Qt::Key_Tab) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
            // A mnemonic clicks after its short press animation.
            QTRY_VERIFY(!box->isVisible());
        });
        const bool given = boxes.question(nullptr, text);
        QVERIFY(script.ran());
        QCOMPARE(given, answer);
        QCOMPARE(title, QString("Firmware Trelvant"));
        QCOMPARE(shownText, text);
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(defaultButton.remove('&'), QString("No"));
        QVERIFY2(contrast >= 4.5, qPrintable(QString::number(contrast)));
    }
};

QTEST_MAIN(UpdateDeviceTest)
#include "update_device_test.moc"
