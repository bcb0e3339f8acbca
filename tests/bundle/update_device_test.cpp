// Update Device in the configurator's main window whose program folder is an unpacked bundle, on
// the bundle's example project, as a technician does right after unpacking: open PROJECTS/Boiler2,
// press Update Device, close the firmware dialog. The bank files must land in the project's bin
// folder with the bytes of a known build of that project.
//
// Usage: bundle_update_device <program folder> <folder of the expected bank files> [Qt Test options]
// Run on the offscreen platform. The window's message boxes and the build's clock are the test's.

#include "platform/platform.h"
#include "shell/main_window.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QtTest>

#include <utility>
#include <vector>

using namespace trelvant;
using trelvant::test::ModalScript;
using trelvant::test::ShownBox;

class UpdateDeviceInBundle : public QObject {
    Q_OBJECT
public:
    UpdateDeviceInBundle(QString programFolder, QString expectedBin)
        : programFolder_(std::move(programFolder)), expectedBin_(std::move(expectedBin))
    {
    }

private slots:
    void updateDeviceWritesTheExampleProjectsBankFiles()
    {
        test::RecordingPlatform fake;
        // The moment of the known build, so that its bytes are the expected ones.
        const FixedClock clock{{2026, 12, 10, 12, 0, 0}};
        Platform platform{fake.boxes, fake.folders, fake.desktop, clock, fake.files};
        TFTrelvanteFirmWare window(programFolder_, platform);
        window.show();

        const QString project = QDir(programFolder_).filePath(QStringLiteral("PROJECTS/Boiler2"));
        fake.folders.answer = QDir::toNativeSeparators(project);
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("open")), Qt::LeftButton);
        QCOMPARE(window.project().folder, QDir::toNativeSeparators(project));

        ModalScript closeFirmwareDialog([](QDialog* dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("LbButton1")), Qt::LeftButton);
        });
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("CreateBin")), Qt::LeftButton);
        // The bundle holds no base firmware: the firmware dialog says so, and nothing else is said.
        QCOMPARE(fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Error, "Error file Pelmora.sx not found"}}));
        QVERIFY(closeFirmwareDialog.ran());

        for (const char* name : {"bank1.bin", "bank2.bin", "bank3.bin", "bank4.bin", "bank5.bin", "bankg.c"}) {
            const QString written = QDir(project).filePath(QStringLiteral("bin/") + QLatin1String(name));
            QVERIFY2(QFileInfo::exists(written), qPrintable(written));
            const QString expected = QDir(expectedBin_).filePath(QLatin1String(name));
            QVERIFY2(test::ReadText(ToPath(written)) == test::ReadText(ToPath(expected)),
                     qPrintable(written + QStringLiteral(" differs from ") + expected));
        }
    }

private:
    QString programFolder_;
    QString expectedBin_;
};

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3) {
        qCritical("Usage: bundle_update_device <program folder> <folder of the expected bank files> [Qt Test options]");
        return 2;
    }
    UpdateDeviceInBundle test(arguments.at(1), arguments.at(2));
    arguments.remove(1, 2);
    return QTest::qExec(&test, arguments);
}

#include "update_device_test.moc"
