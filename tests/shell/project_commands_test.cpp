// New project and Open project from the main window.
#include "tests/shell/main_window_fixture.h"

using namespace trelvant;
using namespace trelvant::test;

class ProjectCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void newProjectRefusesBadNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const QString notValid = "Name project not valid";
        QTest::newRow("empty") << "" << notValid;
        QTest::newRow("slash") << "Site/Boiler2" << notValid;
        QTest::newRow("backslash") << "Site\\Boiler2" << notValid;
        QTest::newRow("dot") << "." << notValid;
        QTest::newRow("dot dot") << ".." << notValid;
        // Names Windows refuses or changes: the project could not be copied to a Windows laptop.
        QTest::newRow("device name") << "CON" << notValid;
        QTest::newRow("device name with an extension") << "lpt1.xml" << notValid;
        QTest::newRow("trailing dot") << "Boiler2." << notValid;
        QTest::newRow("trailing blank") << "Boiler2 " << notValid;
        QTest::newRow("colon") << "Boiler:2" << notValid;
        QTest::newRow("control character") << "Boiler\t2" << notValid;
        QTest::newRow("too long for a folder name") << QString(300, 'a') << notValid;
        QTest::newRow("existing") << "Boiler1" << "Name project not valid because directory already exists";
        QTest::newRow("existing in another case") << "BOILER1" << "Name project not valid because directory already exists";
    }
    void newProjectRefusesBadNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        Program program;
        program.makeFolder("Boiler1");
        TFTrelvanteFirmWare& window = program.start();
        const QStringList before = program.projectsEntries();

        bool stayedOpen = false;
        ModalScript script([&](QDialog* dialog) {
            program.child<QLineEdit>(dialog, "E_name")->setText(typed);
            QTest::mouseClick(program.child(dialog, "BitBtn1"), Qt::LeftButton);
            stayedOpen = dialog->isVisible();
            QCOMPARE(program.child<QLineEdit>(dialog, "E_name")->text(), typed);
            QTest::mouseClick(program.child(dialog, "BitBtn2"), Qt::LeftButton);
        });
        program.click("New");
        QVERIFY(script.ran());
        QVERIFY(stayedOpen);
        QCOMPARE(program.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Plain, message}}));
        QCOMPARE(program.projectsEntries(), before);
        // Cancelled: the title loses its name, the project stays.
        QCOMPARE(window.windowTitle(), kPrefix);
        QCOMPARE(window.project().folder, program.projects());
    }

    void newProjectThatCannotBeMadeStaysOpenSilently()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        // The destination is gone: the folder cannot be made and nothing is said.
        QDir(program.projects()).removeRecursively();
        bool stayedOpen = false;
        ModalScript script([&](QDialog* dialog) {
            program.child<QLineEdit>(dialog, "E_name")->setText("Boiler2");
            QTest::mouseClick(program.child(dialog, "BitBtn1"), Qt::LeftButton);
            stayedOpen = dialog->isVisible();
            QTest::mouseClick(program.child(dialog, "BitBtn2"), Qt::LeftButton);
        });
        program.click("New");
        QVERIFY(script.ran());
        QVERIFY(stayedOpen);
        QVERIFY(program.fake.boxes.shown.empty());
        QVERIFY(!QFileInfo::exists(program.projects()));
        QCOMPARE(window.windowTitle(), kPrefix);
    }

    void newProjectAfterARefusalCreatesTheProject()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        QVERIFY(program.newProject({"", "Boiler2"}));

        QCOMPARE(program.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Plain, "Name project not valid"}}));
        QCOMPARE(program.projectsEntries(), (QStringList{"Boiler2", "Boiler2" + kSep + "bin"}));
        const QString folder = program.projects() + kSep + "Boiler2";
        QCOMPARE(window.windowTitle(), kPrefix + "Boiler2");
        QCOMPARE(window.project().name, QString("Boiler2"));
        QCOMPARE(window.project().folder, folder);
        QCOMPARE(window.project().tcobPath, folder + kSep + "TCobDef.xml");
        QCOMPARE(window.OpenExcel().initialFolder, folder);

        // Remembered in its typed form; restored in its separator form.
        program.restart();
        // The line ends as the system's own: CR LF on Windows.
        const std::string ini = program.readIni();
        QVERIFY(ini.find("projectname=Boiler2\n") != std::string::npos ||
                ini.find("projectname=Boiler2\r\n") != std::string::npos);
        QCOMPARE(program.window->windowTitle(), kPrefix + kSep + "Boiler2");
        QCOMPARE(program.window->project().folder, folder);
    }

    void newProjectEmptiesTheNameAtEachShowing()
    {
        Program program;
        program.start();
        QVERIFY(program.newProject({"First"}));
        QString shownText = "not shown";
        ModalScript script([&](QDialog* dialog) {
            shownText = program.child<QLineEdit>(dialog, "E_name")->text();
            QCOMPARE(dialog->windowTitle(), QString("New project"));
            QCOMPARE(dialog->size(), QSize(319, 91));
            QTest::mouseClick(program.child(dialog, "BitBtn2"), Qt::LeftButton);
        });
        program.click("New");
        QVERIFY(script.ran());
        QCOMPARE(shownText, QString());
    }

    void restoringAMinimisedDialogKeepsWhatTheUserDid()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        bool restored = false;
        QString nameAfterRestore;
        ModalScript newProject([&](QDialog* dialog) {
            program.child<QLineEdit>(dialog, "E_name")->setText("Boiler2");
            restored = test::MinimiseAndRestore(dialog);
            nameAfterRestore = program.child<QLineEdit>(dialog, "E_name")->text();
            QTest::mouseClick(program.child(dialog, "BitBtn1"), Qt::LeftButton);
        });
        program.click("New");
        QVERIFY(restored);
        QCOMPARE(nameAfterRestore, QString("Boiler2"));
        QVERIFY(newProject.ran());
        QCOMPARE(window.project().name, QString("Boiler2"));

        QString focusAfterRestore;
        ModalScript about([&](QDialog* dialog) {
            program.child<QLabel>(dialog, "Label4")->setFocus();
            restored = test::MinimiseAndRestore(dialog);
            focusAfterRestore = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
            QTest::mouseClick(program.child(dialog, "OKButton"), Qt::LeftButton);
        });
        program.click("about");
        QVERIFY(about.ran());
        QVERIFY(restored);
        QCOMPARE(focusAfterRestore, QString("Label4"));
    }

    void newProjectCancelKeepsTheOpenProject()
    {
        Program program;
        program.makeFolder("Boiler1");
        program.writeIni("[lastproj]\nprojectname=\\Boiler1\n");
        TFTrelvanteFirmWare& window = program.start();
        ModalScript script([&](QDialog* dialog) {
            program.child<QLineEdit>(dialog, "E_name")->setText("Boiler3");
            QTest::mouseClick(program.child(dialog, "BitBtn2"), Qt::LeftButton);
        });
        program.click("New");
        QVERIFY(script.ran());
        QVERIFY(!QFileInfo::exists(program.projects() + kSep + "Boiler3"));
        QCOMPARE(window.windowTitle(), kPrefix);
        QCOMPARE(window.project().name, kSep + "Boiler1");
        QCOMPARE(window.project().pargenPath, program.projects() + kSep + "Boiler1" + kSep + "pargen.xml");
    }

    void openProject_data()
    {
        QTest::addColumn<QString>("chosen");  // below PROJECTS; "." for PROJECTS itself
        QTest::addColumn<QString>("name");
        QTest::newRow("a project") << "Boiler2" << kSep + "Boiler2";
        QTest::newRow("two levels down") << "Site/Boiler2" << kSep + "Site" + kSep + "Boiler2";
        QTest::newRow("PROJECTS itself") << "." << "";
    }
    void openProject()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, name);
        Program program;
        program.makeFolder("Site/Boiler2");
        program.makeFolder("Boiler2");
        TFTrelvanteFirmWare& window = program.start();
        const QString folder = QDir::toNativeSeparators(QDir::cleanPath(program.projects() + "/" + chosen));
        program.fake.folders.answer = folder;

        program.click("open");
        QCOMPARE(program.fake.folders.calls.size(), size_t(1));
        QCOMPARE(program.fake.folders.calls[0].root, program.projects());
        QCOMPARE(program.fake.folders.calls[0].prompt, QString("Select directory of project"));
        QCOMPARE(program.fake.folders.calls[0].initial, program.projects());
        QCOMPARE(window.project().folder, folder);
        QCOMPARE(window.project().name, name);
        QCOMPARE(window.windowTitle(), kPrefix + name);
        QCOMPARE(window.project().rcobPath, folder + kSep + "RCobDef.xml");
        QCOMPARE(window.OpenExcel().initialFolder, folder);
    }

    void openCancelledWhileTheProjectFolderIsGone()
    {
        Program program;
        program.makeFolder("Boiler2");
        program.writeIni("[lastproj]\nprojectname=\\Boiler2\n");
        TFTrelvanteFirmWare& window = program.start();
        QDir(program.projects() + kSep + "Boiler2").removeRecursively();

        program.click("open");
        QCOMPARE(program.fake.folders.calls.at(0).initial, QString());
        QCOMPARE(window.project().folder, QString());
        QCOMPARE(window.project().name, QString());
        QCOMPARE(window.windowTitle(), kPrefix);
        QCOMPARE(window.project().pargenPath, kSep + "pargen.xml");

        int opened = 0;
        window.setEditorOpener(program.child(&window, "btn_RCOB"), [&] { ++opened; });
        for (const char* name : {"btn_Prm_Gen", "btn_RCOB", "btn_Info_RCOB", "btn_TCOB", "btn_Info_TCOB", "CreateBin"})
            program.click(name);
        QCOMPARE(opened, 0);
        QCOMPARE(program.fake.boxes.shown, std::vector<ShownBox>(6, ShownBox{ShownBox::Plain, "Project not valid"}));
    }

    void openCancelledAfterNewGivesTheSeparatorForm()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        QVERIFY(program.newProject({"Boiler2"}));
        program.click("open");
        QCOMPARE(program.fake.folders.calls.at(0).initial, program.projects() + kSep + "Boiler2");
        QCOMPARE(window.project().name, kSep + "Boiler2");
        QCOMPARE(window.windowTitle(), kPrefix + kSep + "Boiler2");
    }
};

QTEST_MAIN(ProjectCommandsTest)
#include "project_commands_test.moc"
