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
        // Cancelled: the title and the project (none: PROJECTS itself) stay as they were.
        QCOMPARE(window.windowTitle(), kTitle);
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
        QCOMPARE(window.windowTitle(), kTitle);
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

        // Remembered and restored in the same form.
        program.restart();
        // The line ends as the system's own: CR LF on Windows.
        const std::string ini = program.readIni();
        QVERIFY(ini.find("projectname=Boiler2\n") != std::string::npos ||
                ini.find("projectname=Boiler2\r\n") != std::string::npos);
        QCOMPARE(program.window->windowTitle(), kPrefix + "Boiler2");
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

    void newProjectCancelKeepsTheOpenProject_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Escape") << true;
    }
    void newProjectCancelKeepsTheOpenProject()
    {
        QFETCH(bool, escape);
        Program program;
        program.makeFolder("Boiler1");
        program.writeIni("[lastproj]\nprojectname=\\Boiler1\n");
        TFTrelvanteFirmWare& window = program.start();
        ModalScript script([&](QDialog* dialog) {
            auto* edit = program.child<QLineEdit>(dialog, "E_name");
            edit->setText("Boiler3");
            if (escape) QTest::keyClick(edit, Qt::Key_Escape);
            else QTest::mouseClick(program.child(dialog, "BitBtn2"), Qt::LeftButton);
        });
        program.click("New");
        QVERIFY(script.ran());
        QVERIFY(!QFileInfo::exists(program.projects() + kSep + "Boiler3"));
        QCOMPARE(window.windowTitle(), kPrefix + "Boiler1");
        QCOMPARE(window.project().name, QString("Boiler1"));
        QCOMPARE(window.project().pargenPath, program.projects() + kSep + "Boiler1" + kSep + "pargen.xml");

        // The documents still go to the project the title names.
        ModalScript communication([&](QDialog* dialog) {
            QCOMPARE(dialog->objectName(), QString("TFpargen"));
            QTest::mouseClick(program.child(dialog, "bitbtn1"), Qt::LeftButton);
        });
        program.click("btn_Prm_Gen");
        QVERIFY(communication.ran());
        QVERIFY(QFileInfo::exists(program.projects() + kSep + "Boiler1" + kSep + "pargen.xml"));
        program.click("LbButton1");
        QVERIFY(program.readIni().find("projectname=Boiler1") != std::string::npos);
    }

    // The title names the project in one form, whichever way it became current, across restarts.
    void theTitleNamesTheProjectInOneForm()
    {
        Program program;
        program.makeFolder("Site/Genset8");
        TFTrelvanteFirmWare& first = program.start();
        QCOMPARE(first.windowTitle(), kTitle);
        QVERIFY(program.newProject({"Genset7"}));
        QCOMPARE(program.window->windowTitle(), kPrefix + "Genset7");
        program.restart();
        QCOMPARE(program.window->windowTitle(), kPrefix + "Genset7");

        program.fake.folders.answer = program.projects() + kSep + "Genset7";
        program.click("open");
        QCOMPARE(program.window->windowTitle(), kPrefix + "Genset7");
        program.restart();
        QCOMPARE(program.window->windowTitle(), kPrefix + "Genset7");

        program.fake.folders.answer = program.projects() + kSep + "Site" + kSep + "Genset8";
        program.click("open");
        QCOMPARE(program.window->windowTitle(), kPrefix + "Site" + kSep + "Genset8");
        program.restart();
        QCOMPARE(program.window->windowTitle(), kPrefix + "Site" + kSep + "Genset8");
        QCOMPARE(program.window->project().folder, program.projects() + kSep + "Site" + kSep + "Genset8");
        QVERIFY(program.fake.boxes.shown.empty());
    }

    void openProject_data()
    {
        QTest::addColumn<QString>("chosen");  // below PROJECTS
        QTest::addColumn<QString>("name");
        QTest::newRow("a project") << "Boiler2" << "Boiler2";
        QTest::newRow("two levels down") << "Site/Boiler2" << "Site" + kSep + "Boiler2";
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
        QVERIFY(window.hasProject());
        QVERIFY(program.fake.boxes.shown.empty());
    }

    // PROJECTS holds the projects and is none itself; a folder outside it is none either. The
    // project open before stays open, under its title.
    void openRefusesAFolderThatIsNoProject_data()
    {
        QTest::addColumn<QString>("chosen");  // relative to PROJECTS
        QTest::addColumn<bool>("withProject"); // Boiler1 open before, else nothing was restored
        QTest::addColumn<QString>("message");  // %1: the PROJECTS folder, %2: the program folder
        const QString itself =
            "The folder PROJECTS holds the projects; it is not a project itself. Choose a project's folder inside it.";
        QTest::newRow("PROJECTS itself, a project open") << "" << true << itself;
        QTest::newRow("PROJECTS itself, nothing restored") << "" << false << itself;
        QTest::newRow("PROJECTS with a trailing separator") << kSep << true << itself;
        QTest::newRow("PROJECTS by way of a project and ..") << kSep + "Boiler1" + kSep + ".." << true << itself;
        QTest::newRow("the program folder") << kSep + ".." << true
                                            << "%2 is not inside %1, which holds the projects. Choose a project's folder there.";
    }
    void openRefusesAFolderThatIsNoProject()
    {
        QFETCH(QString, chosen);
        QFETCH(bool, withProject);
        QFETCH(QString, message);
        Program program;
        program.makeFolder("Boiler1");
        if (withProject) program.writeIni("[lastproj]\nprojectname=Boiler1\n");
        TFTrelvanteFirmWare& window = program.start();
        const ProjectState before = window.project();
        const QString title = window.windowTitle();
        QCOMPARE(title, withProject ? kPrefix + "Boiler1" : kTitle);

        program.fake.folders.answer = program.projects() + chosen;
        program.click("open");
        QCOMPARE(program.fake.boxes.shown,
                 (std::vector<ShownBox>{{ShownBox::Plain, message.replace("%1", program.projects()).replace("%2", program.folder())}}));
        QCOMPARE(window.windowTitle(), title);
        QCOMPARE(window.project().folder, before.folder);
        QCOMPARE(window.project().name, before.name);
        QCOMPARE(window.project().pargenPath, before.pargenPath);
        QCOMPARE(window.OpenExcel().initialFolder, before.folder);
        QCOMPARE(window.hasProject(), withProject);

        // What is remembered is the project that stayed open.
        program.click("LbButton1");
        QCOMPARE(program.readIni().find("projectname=Boiler1") != std::string::npos, withProject);
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
        QCOMPARE(window.windowTitle(), kTitle);
        QCOMPARE(window.project().pargenPath, kSep + "pargen.xml");

        int opened = 0;
        window.setEditorOpener(program.child(&window, "btn_RCOB"), [&] { ++opened; });
        for (const char* name :
             {"btn_Prm_Gen", "btn_RCOB", "btn_Info_RCOB", "btn_TCOB", "btn_Info_TCOB", "CreateBin", "RegisterMap"})
            program.click(name);
        QCOMPARE(opened, 0);
        QCOMPARE(program.fake.boxes.shown, std::vector<ShownBox>(7, ShownBox{ShownBox::Plain, "Project not valid"}));
    }

    void openCancelledKeepsTheProjectAndItsTitle()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        QVERIFY(program.newProject({"Boiler2"}));
        program.click("open");
        QCOMPARE(program.fake.folders.calls.at(0).initial, program.projects() + kSep + "Boiler2");
        QCOMPARE(window.project().name, QString("Boiler2"));
        QCOMPARE(window.project().folder, program.projects() + kSep + "Boiler2");
        QCOMPARE(window.windowTitle(), kPrefix + "Boiler2");
    }

    // Nothing restored: a cancelled Open keeps the remembered name, to be restored once its
    // folder is back.
    void openCancelledWithNothingRestoredKeepsTheRememberedName()
    {
        Program program;
        program.writeIni("[lastproj]\nprojectname=\\Boiler2\n");
        TFTrelvanteFirmWare& window = program.start();
        program.click("open");
        QCOMPARE(window.windowTitle(), kTitle);
        QCOMPARE(window.project().folder, program.projects());
        program.click("LbButton1");
        QVERIFY(program.readIni().find("projectname=Boiler2") != std::string::npos);
    }
};

QTEST_MAIN(ProjectCommandsTest)
#include "project_commands_test.moc"
