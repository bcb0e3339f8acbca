// Grabs the shell's windows to PNG files in the folder given as the first argument.
#include "editors/communication_dialog.h"
#include "platform/message_boxes.h"
#include "shell/about_box.h"
#include "shell/firmware_dialog.h"
#include "shell/main_window.h"
#include "shell/new_project_dialog.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

// Grabs the message box that the click shows, as the user sees it, and closes it.
void GrabMessage(QPushButton* button, const QString& file)
{
    QTimer::singleShot(200, [file] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->grab().save(file);
            box->close();
        }
    });
    button->click();
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    trelvant::test::TempFolder program;
    trelvant::test::RecordingPlatform fake;
    trelvant::TFTrelvanteFirmWare window(trelvant::FromPath(program.path()), fake.platform);
    window.show();
    window.grab().save(out + "/main_window.png");

    trelvant::TFsaveproj* newProject = window.Fsaveproj();
    newProject->show();
    newProject->findChild<QLineEdit*>("E_name")->setText("Boiler2");
    newProject->grab().save(out + "/new_project.png");
    // Restored from the task bar: the typed name is still there.
    newProject->findChild<QLineEdit*>("E_name")->setText("Boiler3");
    trelvant::test::MinimiseAndRestore(newProject);
    newProject->grab().save(out + "/new_project_restored.png");
    newProject->hide();

    window.FAbout()->show();
    window.FAbout()->grab().save(out + "/about.png");
    window.FAbout()->hide();

    // With a base firmware in MASTER, so that the dialog opens ready to merge.
    trelvant::test::WriteText(program / "MASTER" / "Pelmora.sx", "S9030000FC\r\n");
    window.FModifyFileSx()->setProjectFolder(window.projectsFolder());
    window.FModifyFileSx()->show();
    window.FModifyFileSx()->grab().save(out + "/firmware.png");
    // Restored from the task bar: the chosen port is still there.
    window.FModifyFileSx()->findChild<QComboBox*>("cbport")->setCurrentIndex(2);
    trelvant::test::MinimiseAndRestore(window.FModifyFileSx());
    window.FModifyFileSx()->grab().save(out + "/firmware_restored.png");

    // The communication dialog with remote requests on and a few values typed.
    trelvant::TFpargen* communication = window.Fpargen();
    communication->setDocumentPath(trelvant::FromPath(program / "pargen.xml"));
    communication->show();
    communication->findChild<QCheckBox*>("CB_EnRemReq")->setChecked(true);
    communication->findChild<QLineEdit*>("E_Pri_Des")->setText("10");
    communication->findChild<QLineEdit*>("E_PGN1")->setText("11");
    communication->grab().save(out + "/communication.png");
    communication->hide();

    // The messages of the main window, in the system's own message boxes: PROJECTS chosen in Open
    // project, and a register map that no browser shows.
    trelvant::QtMessageBoxes boxes;
    trelvant::test::RecordingPlatform shown;
    trelvant::Platform real{boxes, shown.folders, shown.desktop, shown.clock, shown.files};
    std::filesystem::create_directories(program / "PROJECTS" / "Boiler2");
    trelvant::TFTrelvanteFirmWare messages(trelvant::FromPath(program.path()), real);
    messages.show();
    shown.folders.answer = messages.projectsFolder();
    GrabMessage(messages.findChild<QPushButton*>("open"), out + "/open_projects_refused.png");
    shown.folders.answer = messages.projectsFolder() + QDir::separator() + "Boiler2";
    messages.findChild<QPushButton*>("open")->click();
    shown.desktop.openSucceeds = false;
    GrabMessage(messages.findChild<QPushButton*>("RegisterMap"), out + "/register_map_no_browser.png");
    return 0;
}
