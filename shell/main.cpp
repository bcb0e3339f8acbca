#include "platform/common_look.h"
#include "platform/desktop.h"
#include "platform/file_chooser.h"
#include "platform/folder_browser.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "shell/main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(trelvant::kApplicationTitle);

    trelvant::QtMessageBoxes boxes;
    trelvant::QtFolderBrowser folders;
    trelvant::QtDesktop desktop;
    trelvant::SystemClock clock;
    trelvant::QtFileChooser files;
    trelvant::Platform platform{boxes, folders, desktop, clock, files};

    trelvant::TFTrelvanteFirmWare mainWindow(QCoreApplication::applicationDirPath(), platform);
    mainWindow.show();
    trelvant::CentreOnScreen(&mainWindow);
    return application.exec();
}
