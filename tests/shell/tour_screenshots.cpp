// The pictures of the README's walk-through: every window of the configurator on the example
// project, from the main window to "Update Device", grabbed to PNG files in the folder given as
// the first argument. The example project's folder is the second argument. scripts/screenshots
// builds and runs it. With --frames as the third argument the windows are taken from the screen
// with the frames the window system draws (under Wine's desktop: as they look on Windows), else
// drawn under a plain title bar.
#include "editors/byte_map_editor.h"
#include "editors/communication_dialog.h"
#include "editors/frame_list_editor.h"
#include "image/project_check.h"
#include "platform/message_boxes.h"
#include "shell/about_box.h"
#include "shell/firmware_dialog.h"
#include "shell/main_window.h"
#include "shell/new_project_dialog.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <filesystem>
#include <iostream>

namespace {

bool allSaved = true;
bool withFrames = false;

void Write(const QImage& image, const QString& folder, const char* name)
{
    const QString file = folder + "/" + QString::fromLatin1(name) + ".png";
    if (!image.save(file)) {
        std::cerr << "Unable to write " << file.toStdString() << "\n";
        allSaved = false;
    }
}

// The window as the screen shows it, its frame included, once the window system has drawn it.
void SaveFromScreen(QWidget* window, const QString& folder, const char* name)
{
    window->raise();
    window->activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 1500) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const QRect frame = window->frameGeometry();
    Write(window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage(), folder, name);
}

// The window's client area under a plain title bar with its caption: the offscreen platform
// draws no window frame, and the caption tells the reader which window it is.
void Save(QWidget* window, const QString& folder, const char* name)
{
    if (withFrames) {
        SaveFromScreen(window, folder, name);
        return;
    }
    QCoreApplication::processEvents();
    const QPixmap client = window->grab();
    const int bar = 26;
    QImage framed(client.width() + 2, client.height() + bar + 1, QImage::Format_RGB32);
    framed.fill(QColor(64, 64, 64));
    QPainter painter(&framed);
    QFont font = window->font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(10, 0, framed.width() - 20, bar), Qt::AlignVCenter | Qt::AlignLeft, window->windowTitle());
    painter.drawPixmap(1, bar, client);
    painter.end();
    Write(framed, folder, name);
}

// Shows an editor as the main window's button would, without its modal loop.
template <typename Editor>
Editor* Open(Editor* editor, trelvant::Direction mode)
{
    editor->setEditorMode(mode);
    editor->show();
    return editor;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc < 3 || (argc > 3 && QString::fromLocal8Bit(argv[3]) != "--frames")) {
        std::cerr << "Usage: trelvant_tour OUTPUT_FOLDER EXAMPLE_PROJECT [--frames]\n";
        return 2;
    }
    withFrames = argc > 3;
    // Absolute: the firmware dialog makes MASTER the current folder.
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);

    // A program folder with the example project as the last project and a base firmware.
    trelvant::test::TempFolder program;
    std::filesystem::create_directories(program / "PROJECTS");
    std::filesystem::copy(std::filesystem::absolute(argv[2]), program / "PROJECTS" / "Boiler2",
                          std::filesystem::copy_options::recursive);
    trelvant::test::WriteText(program / "Trelvant_CAN2MRTUs.ini", "[lastproj]\r\nprojectname=\\Boiler2\r\n");
    std::filesystem::create_directories(program / "MASTER");
    trelvant::test::WriteText(program / "MASTER" / "Pelmora.sx", "S9030000FC\r\n");

    trelvant::test::RecordingPlatform fake;
    trelvant::TFTrelvanteFirmWare window(trelvant::FromPath(program.path()), fake.platform);
    window.show();
    Save(&window, out, "01_main_window");

    trelvant::TFsaveproj* newProject = window.Fsaveproj();
    newProject->show();
    newProject->findChild<QLineEdit*>("E_name")->setText("Boiler3");
    Save(newProject, out, "02_new_project");
    newProject->hide();

    trelvant::TFpargen* communication = window.Fpargen();
    communication->setDocumentPath(window.project().pargenPath);
    communication->show();
    Save(communication, out, "03_set_communication");
    communication->hide();

    auto* receiveFrames = Open(window.FpdoMB(), trelvant::Direction::Receive);
    Save(receiveFrames, out, "04_receive_frames");
    receiveFrames->hide();

    const auto showMap = [&](trelvant::ByteMapEditor* editor, trelvant::Direction mode, const char* name) {
        Open(editor, mode);
        editor->LPdoCanA()->select(0);
        editor->LPdoCanAClick();
        editor->LIndMbCanA()->select(0);
        editor->LIndMbCanAClick();
        editor->LIndMbCanA()->setFocus();
        Save(editor, out, name);
        editor->hide();
    };
    showMap(window.FInfopdoMB(), trelvant::Direction::Receive, "05_receive_byte_map");

    auto* transmitFrames = Open(window.FTpdo2MB(), trelvant::Direction::Transmit);
    Save(transmitFrames, out, "06_transmit_frames");
    transmitFrames->hide();
    showMap(window.FInfoTpdoMB(), trelvant::Direction::Transmit, "07_transmit_byte_map");

    window.FModifyFileSx()->setProjectFolder(window.project().folder);
    window.FModifyFileSx()->show();
    Save(window.FModifyFileSx(), out, "08_update_device");
    window.FModifyFileSx()->hide();

    // The question "Update Device" asks first when the check finds errors: an edited copy of the
    // project whose receive byte map reuses the time-out register and names an index too large.
    const std::filesystem::path edited = program / "PROJECTS" / "Boiler2 edited";
    std::filesystem::copy(program / "PROJECTS" / "Boiler2", edited, std::filesystem::copy_options::recursive);
    trelvant::test::WriteText(edited / "RInfoCob.xml",
                              "<RInfoCob><row Index=\"1\" NrPdo=\"1\" PosComp=\"84\"/>"
                              "<row Index=\"70000\" NrPdo=\"2\" PosComp=\"1\"/></RInfoCob>");
    if (const auto question = trelvant::UpdateDeviceQuestion(trelvant::CheckProject(edited))) {
        QTimer::singleShot(300, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                Save(box, out, "09_update_device_check");
                box->close();
            }
        });
        trelvant::QtMessageBoxes().question(&window, QString::fromStdString(*question));
    }

    window.FAbout()->show();
    Save(window.FAbout(), out, "10_about");
    return allSaved && fake.boxes.shown.empty() ? 0 : 1;
}
