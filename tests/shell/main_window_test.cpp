// The main window: start-up, layout, the last project, the editors it opens, the About box, errors.
#include "tests/shell/main_window_fixture.h"

#include "editors/communication_dialog.h"

#include <QApplication>

#include <iterator>

using namespace trelvant;
using namespace trelvant::test;

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    // The two "Define J1939" buttons share a caption: a screen reader tells them apart by their
    // descriptions, read through the accessibility layer.
    void theTwoDefineButtonsNameTheirDirection()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        const std::pair<const char*, const char*> buttons[] = {
            {"btn_Info_RCOB", "Byte map of the received J1939 frames"},
            {"btn_Info_TCOB", "Byte map of the transmitted J1939 frames"}};
        for (const auto& [name, description] : buttons) {
            QAccessibleInterface* button = QAccessible::queryAccessibleInterface(
                window.findChild<QPushButton*>(QString::fromLatin1(name)));
            QVERIFY(button != nullptr);
            QCOMPARE(button->role(), QAccessible::Button);
            QCOMPARE(button->text(QAccessible::Name), QString("Define J1939"));
            QCOMPARE(button->text(QAccessible::Description), QString::fromLatin1(description));
        }
    }

    void firstRunMakesTheFoldersAndUsesProjects()
    {
        Program program;
        QDir().mkpath(program.folder() + kSep + "MASTER");
        test::WriteText(program.dir / "MASTER" / "Pelmora.sx", "S9030000FC\r\n");

        TFTrelvanteFirmWare& window = program.start();
        QCOMPARE(window.windowTitle(), kTitle);
        QVERIFY(QFileInfo(program.projects()).isDir());
        QCOMPARE(test::ReadText(program.dir / "MASTER" / "Pelmora.sx"), std::string("S9030000FC\r\n"));
        QCOMPARE(window.project().folder, program.projects());
        QCOMPARE(window.project().name, QString());
        QCOMPARE(window.project().pargenPath, program.projects() + kSep + "pargen.xml");
        QCOMPARE(window.project().rcobPath, program.projects() + kSep + "RCobDef.xml");
        QCOMPARE(window.project().tcobPath, program.projects() + kSep + "TCobDef.xml");
        QCOMPARE(window.OpenExcel().initialFolder, program.projects());
        QCOMPARE(window.OpenExcel().filter, QString("File EXCEL (*.xls)|*.xls"));
        QVERIFY(program.fake.boxes.shown.empty());
        QVERIFY(window.Fsaveproj() && window.Fsaveproj()->isHidden());
        QVERIFY(window.FAbout() && window.FAbout()->isHidden());
    }

    void mainWindowLayout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("size");
        QTest::newRow("New") << "New" << "New project" << QSize(145, 26);
        QTest::newRow("open") << "open" << "Open project" << QSize(146, 26);
        QTest::newRow("btn_Prm_Gen") << "btn_Prm_Gen" << "Set Communication" << QSize(145, 26);
        QTest::newRow("btn_RCOB") << "btn_RCOB" << "Receive J1939" << QSize(145, 26);
        QTest::newRow("btn_Info_RCOB") << "btn_Info_RCOB" << "Define J1939" << QSize(146, 26);
        QTest::newRow("btn_TCOB") << "btn_TCOB" << "Transmit J1939" << QSize(145, 26);
        QTest::newRow("btn_Info_TCOB") << "btn_Info_TCOB" << "Define J1939" << QSize(146, 26);
        QTest::newRow("CreateBin") << "CreateBin" << "Update Device" << QSize(145, 26);
        QTest::newRow("about") << "about" << "" << QSize(21, 19);
        QTest::newRow("LbButton1") << "LbButton1" << "X" << QSize(21, 19);
    }
    void mainWindowLayout()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QSize, size);
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        QCOMPARE(window.size(), QSize(566, 261));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
        auto* button = window.findChild<QPushButton*>(name);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->size(), size);
        QVERIFY(button->isFlat());
        QVERIFY(QRect(QPoint(), window.size()).contains(button->geometry()));
        if (name != "LbButton1") QVERIFY(!button->icon().isNull());
        for (int step = 1; step <= 5; ++step) {
            auto* label = window.findChild<QLabel*>(QString("LStep%1").arg(step));
            QVERIFY(label);
            QCOMPARE(label->text(), QString("Step %1").arg(step));
            QVERIFY(label->font().bold());
        }
    }

    void restoresTheLastProject_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("folderToMake");  // below PROJECTS; empty: none
        QTest::addColumn<QString>("name");          // name held after the restore, and written back
        QTest::addColumn<QString>("projectFolder"); // below PROJECTS; empty: PROJECTS itself
        QTest::addColumn<bool>("restored");
        const QString b = "Boiler2";
        const QString siteBoiler = "Site" + kSep + "Boiler2";
        QTest::newRow("the form New and Open write") << "Boiler2" << "Boiler2" << b << "Boiler2" << true;
        QTest::newRow("backslash form of earlier settings files") << "\\Boiler2" << "Boiler2" << b << "Boiler2" << true;
        QTest::newRow("slash form") << "/Boiler2" << "Boiler2" << b << "Boiler2" << true;
        QTest::newRow("two levels, backslashes")
            << "\\Site\\Boiler2" << "Site/Boiler2" << siteBoiler << "Site/Boiler2" << true;
        QTest::newRow("two levels, written on Windows") << "Site\\Boiler2" << "Site/Boiler2" << siteBoiler << "Site/Boiler2" << true;
        QTest::newRow("doubled and trailing separators")
            << "\\\\Site//Boiler2\\" << "Site/Boiler2" << siteBoiler << "Site/Boiler2" << true;
        QTest::newRow("folder gone: name kept") << "\\Boiler2" << "" << b << "" << false;
        QTest::newRow("empty value") << "" << "" << "" << "" << false;
        QTest::newRow("a lone backslash") << "\\" << "" << "" << "" << false;
        QTest::newRow("outside PROJECTS is not restored") << ".." << "" << ".." << "" << false;
    }
    void restoresTheLastProject()
    {
        QFETCH(QString, stored);
        QFETCH(QString, folderToMake);
        QFETCH(QString, name);
        QFETCH(QString, projectFolder);
        QFETCH(bool, restored);
        Program program;
        program.writeIni("[other]\r\nkeep=1\r\n[lastproj]\r\nprojectname=" + stored.toStdString() + "\r\n");
        if (!folderToMake.isEmpty()) program.makeFolder(folderToMake);

        TFTrelvanteFirmWare& window = program.start();
        QCOMPARE(window.project().name, name);
        const QString expectedFolder =
            projectFolder.isEmpty() ? program.projects() : program.projects() + kSep + QDir::toNativeSeparators(projectFolder);
        QCOMPARE(window.project().folder, expectedFolder);
        QCOMPARE(window.project().pargenPath, expectedFolder + kSep + "pargen.xml");
        QCOMPARE(window.windowTitle(), restored ? kPrefix + name : kTitle);
        QCOMPARE(window.hasProject(), restored);

        // The name is written back as held, even when its folder was not there.
        program.click("LbButton1");
        QVERIFY(!window.isVisible());
        QCOMPARE(QString::fromStdString(program.readIni()),
                 "[other]\r\nkeep=1\r\n[lastproj]\r\nprojectname=" + name + "\r\n");
    }

    void aStoredNameGoesBackAsItCameUnlessNewOrOpenChangesIt()
    {
        // Written on Windows in its 8-bit code page: not UTF-8.
        const std::string ini = "[lastproj]\r\nprojectname=\\Caff\xE8\r\n";
        Program program;
        program.writeIni(ini);
        TFTrelvanteFirmWare& window = program.start();
        QCOMPARE(window.windowTitle(), kTitle);
        QCOMPARE(window.project().folder, program.projects());
        program.click("LbButton1");
        QCOMPARE(program.readIni(), ini);

        // A name given by New is written as UTF-8.
        program.start();
        QVERIFY(program.newProject({QString::fromUtf8("Caff\xC3\xA8")}));
        program.click("LbButton1");
        QCOMPARE(program.readIni(), std::string("[lastproj]\r\nprojectname=Caff\xC3\xA8\r\n"));

        // And read back as UTF-8.
        program.start();
        QCOMPARE(program.window->project().name, QString::fromUtf8("Caff\xC3\xA8"));
        QCOMPARE(program.window->windowTitle(), kPrefix + QString::fromUtf8("Caff\xC3\xA8"));

        // Open changes the name: it goes as UTF-8 in the one form of the name.
        program.fake.folders.answer = program.projects() + kSep + QString::fromUtf8("Caff\xC3\xA8");
        program.click("open");
        program.click("LbButton1");
        QCOMPARE(program.readIni(), std::string("[lastproj]\r\nprojectname=Caff\xC3\xA8\r\n"));
    }

    void editorButtonsOpenTheirEditorWhenAProjectIsOpen()
    {
        Program program;
        program.makeFolder("Boiler2");
        program.writeIni("[lastproj]\nprojectname=Boiler2\n");
        TFTrelvanteFirmWare& window = program.start();
        QStringList opened;
        for (const char* name : {"btn_Prm_Gen", "btn_RCOB", "btn_Info_RCOB", "btn_TCOB", "btn_Info_TCOB"})
            window.setEditorOpener(program.child(&window, name), [&opened, name] { opened << name; });
        for (const char* name : {"btn_TCOB", "btn_Prm_Gen", "btn_Info_RCOB", "btn_Info_TCOB", "btn_RCOB"})
            program.click(name);
        QCOMPARE(opened, (QStringList{"btn_TCOB", "btn_Prm_Gen", "btn_Info_RCOB", "btn_Info_TCOB", "btn_RCOB"}));
        program.makeFolder("Boiler2/bin");
        ModalScript closeFirmwareDialog([&](QDialog* dialog) { QTest::mouseClick(program.child(dialog, "LbButton1"), Qt::LeftButton); });
        program.click("CreateBin");
        QVERIFY(closeFirmwareDialog.ran());
        QCOMPARE(program.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Error, "Error file Pelmora.sx not found"}}));
        QVERIFY(QFileInfo::exists(program.projects() + kSep + "Boiler2" + kSep + "bin" + kSep + "bankg.c"));
    }

    // Without a project every button that works on one says so and writes nothing: not when no
    // project folder is set, nor when PROJECTS itself is (nothing was restored).
    void buttonsThatWorkOnAProjectRefuseWithoutOne_data()
    {
        QTest::addColumn<QString>("settings");  // the settings file at start-up
        QTest::addColumn<bool>("removeProject"); // Boiler2 removed, then Open cancelled: no project folder
        QTest::newRow("first run: PROJECTS itself") << "" << false;
        QTest::newRow("the last project's folder is gone") << "[lastproj]\nprojectname=\\Gone\n" << false;
        QTest::newRow("no project folder: the open project was removed") << "[lastproj]\nprojectname=Boiler2\n" << true;
    }
    void buttonsThatWorkOnAProjectRefuseWithoutOne()
    {
        QFETCH(QString, settings);
        QFETCH(bool, removeProject);
        Program program;
        program.makeFolder("Boiler2");
        if (!settings.isEmpty()) program.writeIni(settings.toStdString());
        TFTrelvanteFirmWare& window = program.start();
        if (removeProject) {
            QDir(program.projects() + kSep + "Boiler2").removeRecursively();
            program.click("open");  // cancelled
        }
        QCOMPARE(window.project().folder, removeProject ? QString() : program.projects());
        QVERIFY(!window.hasProject());
        QCOMPARE(window.windowTitle(), kTitle);
        const QStringList before = program.projectsEntries();

        // The real editors stay shut: a refusal that let one through would be counted.
        QStringList opened;
        const char* editors[] = {"btn_Prm_Gen", "btn_RCOB", "btn_Info_RCOB", "btn_TCOB", "btn_Info_TCOB"};
        for (const char* name : editors)
            window.setEditorOpener(program.child(&window, name), [&opened, name] { opened << name; });
        for (const char* name : editors) program.click(name);
        program.click("CreateBin");
        program.click("RegisterMap");

        QCOMPARE(opened, QStringList());
        QCOMPARE(program.fake.boxes.shown, std::vector<ShownBox>(7, ShownBox{ShownBox::Plain, "Project not valid"}));
        QVERIFY(!window.FModifyFileSx()->isVisible());
        QVERIFY(program.fake.desktop.opened.isEmpty());
        QCOMPARE(program.projectsEntries(), before);  // no pargen.xml, bin or register map beside the projects
    }

    // The real communication dialog, as the user met it: nothing is written into PROJECTS.
    void setCommunicationWithoutAProjectOpensNoDialog()
    {
        Program program;
        program.start();
        QString shown;
        ModalScript anyDialog([&](QDialog* dialog) {  // closes a dialog shown by mistake
            shown = dialog->objectName();
            dialog->reject();
        });
        program.click("btn_Prm_Gen");
        QCOMPARE(shown, QString());
        QCOMPARE(program.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Plain, "Project not valid"}}));
        QVERIFY(!QFileInfo::exists(program.projects() + kSep + "pargen.xml"));
    }

    void setCommunicationEditsTheProjectsDocument()
    {
        Program program;
        program.makeFolder("Boiler2");
        program.writeIni("[lastproj]\nprojectname=\\Boiler2\n");
        program.start();
        QString shown;
        ModalScript dialog([&](QDialog* d) {
            shown = d->objectName();
            program.child<QLineEdit>(d, "E_TO_Data")->setText("9");
            QTest::mouseClick(program.child(d, "bitbtn1"), Qt::LeftButton);
        });
        program.click("btn_Prm_Gen");
        QVERIFY(dialog.ran());
        QCOMPARE(shown, QString("TFpargen"));
        PargenValues written;
        QCOMPARE(ReadPargenInto(program.dir / "PROJECTS" / "Boiler2" / "pargen.xml", written).load, PargenLoad::Read);
        QCOMPARE(written.TimeOut_Data, std::string("9"));
    }

    void aboutBoxAndProductPage()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        QStringList texts;
        ModalScript script([&](QDialog* dialog) {
            QCOMPARE(dialog->objectName(), QString("TFAbout"));
            QCOMPARE(dialog->windowTitle(), QString("About..."));
            QCOMPARE(dialog->size(), QSize(389, 152));
            for (auto* label : dialog->findChildren<QLabel*>()) texts << label->text();
            QTest::mouseClick(program.child<QLabel>(dialog, "Image1"), Qt::LeftButton);
            QTest::mouseClick(program.child<QLabel>(dialog, "Label4"), Qt::LeftButton);
            QTest::mouseClick(program.child(dialog, "OKButton"), Qt::LeftButton);
        });
        program.click("about");
        QVERIFY(script.ran());
        for (const char* text : {"Software Trelvant ", "Gateway Modbus RTU Slave To J1939", "Software Code : ", "Dolvik",
                                 "Version :", "1.404", "Document Code :", "Brenmar"})
            QVERIFY2(texts.contains(text), text);

        QTest::mouseClick(window.findChild<QLabel*>("Label6"), Qt::LeftButton);
        QCOMPARE(program.fake.desktop.opened, QStringList(3, kProductPage));
        QVERIFY(program.fake.boxes.shown.empty());
    }

    void returnInTheAboutBoxIsItsOk()
    {
        Program program;
        program.start();
        QWidget* focused = nullptr;
        ModalScript script([&](QDialog* dialog) {
            focused = dialog->focusWidget();
            QVERIFY(focused);
            QTest::keyClick(focused, Qt::Key_Return);
        });
        program.click("about");
        QVERIFY(script.ran());
        QCOMPARE(focused->objectName(), QString("OKButton"));
        QVERIFY(program.fake.desktop.opened.isEmpty());
    }

    // Small gray text on the cream background still needs 4.5:1; the picture-only and the
    // one-letter buttons say what they do.
    void grayTextIsReadableAndSmallButtonsHaveTooltips()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        window.show();
        const QColor background(248, 247, 237);
        for (const char* name : {"LStep1", "LStep5", "Label6"}) {
            auto* label = program.child<QLabel>(&window, name);
            QVERIFY2(label, name);
            const double contrast = test::TextContrast(label, background);
            QVERIFY2(contrast >= 4.5, qPrintable(QString("%1: %2").arg(name).arg(contrast)));
        }
        QCOMPARE(program.child(&window, "about")->toolTip(), QString("About"));
        QCOMPARE(program.child(&window, "LbButton1")->toolTip(), QString("Close"));
    }

    // Flat buttons outside a dialog take only the space bar by default: Return and Enter press
    // the focused one too, Ctrl+Return does not.
    void returnAndEnterPressTheFocusedButton_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("presses");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
        QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
        QTest::newRow("the space bar, as before") << int(Qt::Key_Space) << int(Qt::NoModifier) << true;
        QTest::newRow("Ctrl+Return is not a press") << int(Qt::Key_Return) << int(Qt::ControlModifier) << false;
    }
    void returnAndEnterPressTheFocusedButton()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, presses);
        Program program;
        program.makeFolder("Boiler2");
        program.writeIni("[lastproj]\nprojectname=Boiler2\n");
        TFTrelvanteFirmWare& window = program.start();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto press = [&](const char* name) {
            // Back from a dialog, the dialog is gone and the window active again before the key
            // goes to it: the window system may take a moment to hand the activation back.
            QTRY_VERIFY(!QApplication::activeModalWidget());
            window.activateWindow();
            // Not only "active" as the owner of an active dialog is: the window itself.
            QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&window));
            QPushButton* button = program.child(&window, name);
            button->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), button);
            QTest::keyClick(button, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        };

        QStringList opened;
        const char* editors[] = {"btn_Prm_Gen", "btn_RCOB", "btn_Info_RCOB", "btn_TCOB", "btn_Info_TCOB"};
        for (const char* name : editors)
            window.setEditorOpener(program.child(&window, name), [&opened, name] { opened << name; });
        for (const char* name : editors) press(name);
        QCOMPARE(opened, presses ? QStringList(std::begin(editors), std::end(editors)) : QStringList());

        // A dialog of the shell opens by keyboard as by mouse.
        QString shown;
        {
            ModalScript script([&](QDialog* dialog) {
                shown = dialog->objectName();
                dialog->reject();
            });
            press("New");
            if (presses) QVERIFY(script.ran());
        }
        QCOMPARE(shown, presses ? QString("TFsaveproj") : QString());
        QCOMPARE(window.windowTitle(), kPrefix + "Boiler2");  // cancelled: the title stays

        press("LbButton1");
        QCOMPARE(window.isVisible(), !presses);
        QVERIFY(program.fake.boxes.shown.empty());
    }

    // Buttons with a letter or a picture for a caption are named for the accessibility layer.
    void smallButtonsAreNamedForScreenReaders_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::newRow("X") << "LbButton1" << "Close";
        QTest::newRow("the information picture") << "about" << "About";
        QTest::newRow("Register map") << "RegisterMap" << "Register map";
    }
    void smallButtonsAreNamedForScreenReaders()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        QAccessibleInterface* found = QAccessible::queryAccessibleInterface(window.findChild<QPushButton*>(button));
        QVERIFY(found);
        QCOMPARE(found->role(), QAccessible::Button);
        QCOMPARE(found->text(QAccessible::Name), name);
    }

    // Also run at 200 %: every button shows its whole caption and picture inside the window.
    void everyButtonShowsItsWholeCaption()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        const QList<QPushButton*> buttons = window.findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(buttons.size(), 11);
        for (QPushButton* button : buttons) {
            QVERIFY2(button->isVisible(), qPrintable(button->objectName()));
            QVERIFY2(QRect(QPoint(), window.size()).contains(button->geometry()), qPrintable(button->objectName()));
            // The style's own measure for a caption beside a picture; the small ones are measured here.
            const int needs = !button->text().isEmpty() && !button->icon().isNull()
                                  ? button->sizeHint().width()
                                  : button->fontMetrics().horizontalAdvance(button->text()) +
                                        (button->icon().isNull() ? 0 : button->iconSize().width()) + 2;
            QVERIFY2(needs <= button->width(), qPrintable(QString("%1 needs %2, has %3")
                                                              .arg(button->objectName()).arg(needs).arg(button->width())));
            for (QPushButton* other : buttons)
                QVERIFY2(other == button || !other->geometry().intersects(button->geometry()),
                         qPrintable(button->objectName() + " and " + other->objectName()));
        }
        const QString grabs = qEnvironmentVariable("TRELVANT_GRAB_FOLDER");
        if (!grabs.isEmpty()) window.grab().save(grabs + QString("/main_window_%1.png").arg(window.devicePixelRatio()));
    }

    void closeReportsASettingsFileThatCannotBeWrittenAndStillCloses()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        QDir().mkdir(program.ini());  // a folder in the way of the settings file
        program.click("LbButton1");
        QCOMPARE(program.fake.boxes.shown,
                 (std::vector<ShownBox>{{ShownBox::Toolkit, "Unable to write to " + program.ini() +
                                                                ": a folder, not a regular file"}}));
        QVERIFY(!window.isVisible());
    }

    void anErrorInAHandlerEndsAtTheBoundary()
    {
        test::RecordingMessageBoxes boxes;
        int after = 0;
        QVERIFY(!RunHandler(boxes, nullptr, [&] {
            throw Error("'12abc' is not a valid integer value");
            ++after;
        }));
        QVERIFY(RunHandler(boxes, nullptr, [&] { ++after; }));
        QCOMPARE(after, 1);
        QCOMPARE(boxes.shown, (std::vector<ShownBox>{{ShownBox::Toolkit, "'12abc' is not a valid integer value"}}));
    }

    void theErrorBoxSaysWhatWentWrongInWords_data()
    {
        QTest::addColumn<int>("thrown");
        QTest::addColumn<QString>("message");
        QTest::newRow("the core's error") << 0 << "Unable to write to C:\\Tools\\bank1.bin";
        QTest::newRow("out of memory") << 1 << "Not enough memory to complete the operation";
        QTest::newRow("array too large") << 2 << "Not enough memory to complete the operation";
        QTest::newRow("another standard error") << 3 << "Cannot start a second merge";
        QTest::newRow("not a standard error") << 4 << "Unknown error";
    }
    void theErrorBoxSaysWhatWentWrongInWords()
    {
        QFETCH(int, thrown);
        QFETCH(QString, message);
        test::RecordingMessageBoxes boxes;
        QVERIFY(!RunHandler(boxes, nullptr, [thrown] {
            switch (thrown) {
            case 0: throw Error("Unable to write to C:\\Tools\\bank1.bin");
            case 1: throw std::bad_alloc();
            case 2: throw std::bad_array_new_length();
            case 3: throw std::logic_error("Cannot start a second merge");
            default: throw 42;
            }
        }));
        QCOMPARE(boxes.shown, (std::vector<ShownBox>{{ShownBox::Toolkit, message}}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
