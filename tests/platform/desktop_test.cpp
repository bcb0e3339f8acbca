// The flash tool's start as "Execute update firmware" makes it: the flash tool stand-in started
// through the desktop adapter, without a shell, gets the merged firmware's path, blanks and all,
// and the port number as its two arguments, and logs them beside itself.
#include "platform/desktop.h"
#include "platform/platform.h"
#include "tests/support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <filesystem>

using namespace trelvant;

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void theFlashToolGetsItsTwoArgumentsWhole()
    {
        test::TempFolder program;
        const std::filesystem::path tool = program / "Kestrow.exe";
        std::filesystem::copy_file(TRELVANT_FLASH_TOOL_STAND_IN, tool);
        std::filesystem::permissions(tool, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
        const std::filesystem::path project = program / "PROJECTS" / "Boiler 2 & co";
        std::filesystem::create_directories(project);
        const std::filesystem::path firmware = project / "New_Pelmora.sx";
        test::WriteText(firmware, "S00600004844521B\r\nS9030000FC\r\n");

        QtDesktop desktop;
        QVERIFY(desktop.startDetached(FromPath(tool), {FromPath(firmware), "3"}, FromPath(program.path())));
        const QString log = FromPath(program / "Kestrow.log");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(log), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!test::ReadText(program / "Kestrow.log").empty(), 5000);
        const std::string expected = "\"" + FromPath(firmware).toStdString() + "\" \"3\" ok: 2 records\n";
        QCOMPARE(test::ReadText(program / "Kestrow.log"), expected);

        // A program that is not there is not started, and says so.
        QVERIFY(!desktop.startDetached(FromPath(program / "missing.exe"), {}, FromPath(program.path())));
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
