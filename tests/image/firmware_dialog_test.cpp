#include "image/firmware_dialog.h"
#include "platform/platform.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QComboBox>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using namespace trelvant;
using trelvant::test::ShownBox;

namespace {

const QString kSep = QDir::separator();

// A program folder with MASTER and a project whose bin folder holds the bank files.
struct Setup {
    test::TempFolder program;
    test::RecordingPlatform fake;
    QString programFolder = FromPath(program.path());
    QString master = programFolder + kSep + "MASTER";
    QString project;
    std::unique_ptr<TFModifyFileSx> dialog;

    explicit Setup(const QString& projectName = "Boiler2")
    {
        project = programFolder + kSep + "PROJECTS" + kSep + projectName;
        QDir().mkpath(master);
        QDir().mkpath(project + kSep + "bin");
        dialog = std::make_unique<TFModifyFileSx>(programFolder, master, fake.platform);
        dialog->setProjectFolder(project);
    }
    void withBaseFirmware() const { test::WriteText(program / "MASTER" / "Pelmora.sx", "S9030000FC\r\n"); }

    template <typename T = QPushButton>
    T* child(const char* name) const
    {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    void show() const
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void hide() const { dialog->hide(); }
};

}  // namespace

class FirmwareDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() { savedCurrent_ = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(savedCurrent_); }

    void layout()
    {
        Setup s;
        QCOMPARE(s.dialog->windowTitle(), QString("Generate Firmware"));
        QCOMPARE(s.dialog->size(), QSize(430, 224));
        QVERIFY(!(s.dialog->windowFlags() & Qt::WindowCloseButtonHint));
        auto* port = s.child<QComboBox>("cbport");
        QVERIFY(port);
        QStringList ports;
        for (int i = 0; i < port->count(); ++i) ports << port->itemText(i);
        QCOMPARE(ports, (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}));
        QCOMPARE(s.child("LbButton2")->text(), QString("Execute update firmware"));
        QCOMPARE(s.child("LbButton1")->text(), QString("X"));
        QVERIFY(s.child<QProgressBar>("Avanzamento"));
    }

    void withoutBaseFirmwareEveryShowingSaysSoAndTheButtonStaysOff()
    {
        Setup s;
        for (int showing = 0; showing < 2; ++showing) {
            s.show();
            QVERIFY(!s.child("LbButton2")->isEnabled());
            s.hide();
        }
        QCOMPARE(s.fake.boxes.shown, std::vector<ShownBox>(2, ShownBox{ShownBox::Error, "Error file Pelmora.sx not found"}));
        QCOMPARE(QDir::currentPath(), savedCurrent_);
    }

    void withBaseFirmwareTheDialogIsReadyInMaster()
    {
        Setup s("Boiler 2 (site)");
        s.withBaseFirmware();
        s.show();
        QVERIFY(s.fake.boxes.shown.empty());
        QVERIFY(s.child("LbButton2")->isEnabled());
        QCOMPARE(QDir(QDir::currentPath()).canonicalPath(), QDir(s.master).canonicalPath());
        QCOMPARE(s.dialog->binFolder(), s.project + kSep + "bin" + kSep);
        QCOMPARE(s.dialog->outputFolder(), s.project + kSep);
        QCOMPARE(s.dialog->mergedFirmwareName(), QString("New_Pelmora.sx"));
        QCOMPARE(s.child<QProgressBar>("Avanzamento")->value(), s.child<QProgressBar>("Avanzamento")->minimum());
    }

    void eachShowingStartsOnCom1()
    {
        Setup s;
        s.withBaseFirmware();
        s.show();
        s.child<QComboBox>("cbport")->setCurrentIndex(7);
        QTest::mouseClick(s.child("LbButton1"), Qt::LeftButton);
        QVERIFY(!s.dialog->isVisible());
        s.show();
        QCOMPARE(s.child<QComboBox>("cbport")->currentText(), QString("COM1"));
    }

private:
    QString savedCurrent_;
};

QTEST_MAIN(FirmwareDialogTest)
#include "firmware_dialog_test.moc"
