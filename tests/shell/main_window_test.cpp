#include "documents/pargen_document.h"
#include "platform/error.h"
#include "platform/error_boundary.h"
#include "platform/file_names.h"
#include "shell/about_box.h"
#include "shell/firmware_dialog.h"
#include "shell/main_window.h"
#include "shell/new_project_dialog.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QAccessible>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <cerrno>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

using namespace trelvant;
using trelvant::test::ModalScript;
using trelvant::test::ShownBox;

namespace {

const QString kTitle = TFTrelvanteFirmWare::kTitle;
const QString kPrefix = TFTrelvanteFirmWare::kTitlePrefix;
const QString kSep = QDir::separator();

// A program folder of its own, the recording platform, and the main window started in it.
struct Program {
    test::TempFolder dir;
    test::RecordingPlatform fake;
    std::unique_ptr<TFTrelvanteFirmWare> window;

    QString folder() const { return FromPath(dir.path()); }
    QString projects() const { return folder() + kSep + "PROJECTS"; }
    QString ini() const { return folder() + kSep + "Trelvant_CAN2MRTUs.ini"; }
    void writeIni(const std::string& text) const { test::WriteText(dir / "Trelvant_CAN2MRTUs.ini", text); }
    std::string readIni() const { return test::ReadText(dir / "Trelvant_CAN2MRTUs.ini"); }
    void makeFolder(const QString& relative) const { QDir().mkpath(projects() + kSep + relative); }
    // PROJECTS/Boiler2 with its bin folder and the dialog's pargen.xml, remembered as the last project.
    std::filesystem::path lastProjectWithPargen() const
    {
        makeFolder("Boiler2/bin");
        writeIni("[lastproj]\nprojectname=\\Boiler2\n");
        WritePargen(dir / "PROJECTS" / "Boiler2" / "pargen.xml", PargenValues{});
        return dir / "PROJECTS" / "Boiler2";
    }

    TFTrelvanteFirmWare& start()
    {
        window = std::make_unique<TFTrelvanteFirmWare>(folder(), fake.platform);
        window->show();
        return *window;
    }
    void restart()
    {
        window->close();
        start();
    }

    template <typename T = QPushButton>
    T* child(QWidget* parent, const char* name) const
    {
        return parent->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) const
    {
        auto* button = child(window.get(), name);
        QVERIFY2(button, name);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Runs New project, typing each name in turn and pressing OK.
    bool newProject(const QStringList& names)
    {
        ModalScript script([&](QDialog* dialog) {
            for (const QString& name : names) {
                child<QLineEdit>(dialog, "E_name")->setText(name);
                QTest::mouseClick(child(dialog, "BitBtn1"), Qt::LeftButton);
            }
        });
        click("New");
        return script.ran();
    }
    QStringList projectsEntries() const
    {
        QStringList entries;
        QDirIterator it(projects(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) entries << it.next().mid(projects().size() + 1);
        entries.sort();
        return entries;
    }
};

}  // namespace

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
        QTest::addColumn<QString>("name");          // name held after the restore
        QTest::addColumn<QString>("projectFolder"); // below PROJECTS; empty: PROJECTS itself
        QTest::addColumn<bool>("restored");
        const QString b = kSep + "Boiler2";
        QTest::newRow("typed form gets a separator") << "Boiler2" << "Boiler2" << b << "Boiler2" << true;
        QTest::newRow("backslash form") << "\\Boiler2" << "Boiler2" << b << "Boiler2" << true;
        QTest::newRow("slash form") << "/Boiler2" << "Boiler2" << b << "Boiler2" << true;
        QTest::newRow("two levels, backslashes")
            << "\\Site\\Boiler2" << "Site/Boiler2" << kSep + "Site" + kSep + "Boiler2" << "Site/Boiler2" << true;
        QTest::newRow("folder gone: name kept") << "Boiler2" << "" << b << "" << false;
        QTest::newRow("empty value") << "" << "" << "" << "" << false;
        QTest::newRow("outside PROJECTS is not restored") << ".." << "" << kSep + ".." << "" << false;
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
        QCOMPARE(program.window->project().name, kSep + QString::fromUtf8("Caff\xC3\xA8"));
        QCOMPARE(program.window->windowTitle(), kPrefix + kSep + QString::fromUtf8("Caff\xC3\xA8"));

        // Open changes the name: it goes as UTF-8 in the form Open gives it.
        program.fake.folders.answer = program.projects() + kSep + QString::fromUtf8("Caff\xC3\xA8");
        program.click("open");
        program.click("LbButton1");
        QCOMPARE(program.readIni(), "[lastproj]\r\nprojectname=" + (kSep + QString::fromUtf8("Caff\xC3\xA8")).toStdString() + "\r\n");
    }

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
        QCOMPARE(program.readIni().find("projectname=Boiler2\n") != std::string::npos, true);
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

    void editorButtonsOpenTheirEditorWhenAProjectIsOpen()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();  // PROJECTS is the project folder
        QStringList opened;
        for (const char* name : {"btn_Prm_Gen", "btn_RCOB", "btn_Info_RCOB", "btn_TCOB", "btn_Info_TCOB"})
            window.setEditorOpener(program.child(&window, name), [&opened, name] { opened << name; });
        for (const char* name : {"btn_TCOB", "btn_Prm_Gen", "btn_Info_RCOB", "btn_Info_TCOB", "btn_RCOB"})
            program.click(name);
        QCOMPARE(opened, (QStringList{"btn_TCOB", "btn_Prm_Gen", "btn_Info_RCOB", "btn_Info_TCOB", "btn_RCOB"}));
        program.makeFolder("bin");
        ModalScript closeFirmwareDialog([&](QDialog* dialog) { QTest::mouseClick(program.child(dialog, "LbButton1"), Qt::LeftButton); });
        program.click("CreateBin");  // never refused by the guard while a folder is set
        QVERIFY(closeFirmwareDialog.ran());
        QCOMPARE(program.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Error, "Error file Pelmora.sx not found"}}));
        QVERIFY(QFileInfo::exists(program.projects() + kSep + "bin" + kSep + "bankg.c"));
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
