#include "image/bank_files.h"
#include "image/configuration_image.h"
#include "image/srecord_merge.h"
#include "platform/platform.h"
#include "shell/firmware_dialog.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <cstdio>
#include <utility>

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

    // A base firmware with one record in each bank window (the window of bank 2 only when asked),
    // and the bank files of an all-zero image.
    void withMergeInputs(bool bank2Window = true, bool s9 = true) const
    {
        std::string text = record("S0", "0000", "44454D4F");
        text += record("S1", "3880", "01020304");
        text += record("S2", "388000", "AABBCCDD");
        if (bank2Window) text += record("S2", "398000", "AABBCCDD");
        text += record("S2", "3A8000", "11223344");
        if (s9) text += "S9030000FC\r\n";
        test::WriteText(program / "MASTER" / "Pelmora.sx", text);
        WriteBankFiles(ConfigurationImage(), ToPath(project));
    }
    void withFlashTool() const { test::WriteText(program / "Kestrow.exe", "a flash tool"); }

    static std::string record(const std::string& type, const std::string& address, const std::string& data)
    {
        char count[3];
        std::snprintf(count, sizeof count, "%02X", static_cast<unsigned>((address.size() + data.size()) / 2 + 1));
        std::string line = type + count + address + data + "00";
        line.replace(line.size() - 2, 2, SRecordChecksum(line));
        return line + "\r\n";
    }
    QString merged() const { return project + kSep + "New_Pelmora.sx"; }
    void execute() const { QTest::mouseClick(child("LbButton2"), Qt::LeftButton); }

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

    // What a screen reader gets: "Close" for the X, a named progress bar, and the result line by
    // its text, whichever text the last run left there.
    void theControlsAreNamedForScreenReaders()
    {
        Setup s;
        s.withMergeInputs();
        s.withFlashTool();
        s.show();
        const auto named = [](QWidget* widget) {
            QAccessibleInterface* found = QAccessible::queryAccessibleInterface(widget);
            return found ? std::pair(found->role(), found->text(QAccessible::Name)) : std::pair(QAccessible::NoRole, QString());
        };
        QCOMPARE(named(s.child("LbButton1")), std::pair(QAccessible::Button, QString("Close")));
        QCOMPARE(named(s.child("LbButton2")), std::pair(QAccessible::Button, QString("Execute update firmware")));
        QCOMPARE(named(s.child<QProgressBar>("Avanzamento")), std::pair(QAccessible::ProgressBar, QString("Merge progress")));

        auto* result = s.child<QLabel>("LResult");
        s.execute();
        const QString started = s.dialog->resultLine();
        QVERIFY(started.contains("the flash tool was started on COM1"));
        QCOMPARE(named(result), std::pair(QAccessible::StaticText, started));
        QCOMPARE(QAccessible::queryAccessibleInterface(result)->text(QAccessible::Description), QString("Result of the update"));

        s.fake.desktop.startSucceeds = false;
        s.execute();
        QVERIFY(s.dialog->resultLine().endsWith("could not be started."));
        QCOMPARE(named(result).second, s.dialog->resultLine());
    }

    // Return on a focused button presses it, as in every dialog.
    void returnPressesTheFocusedButton()
    {
        Setup s;
        s.withMergeInputs();
        s.withFlashTool();
        s.show();
        s.dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(s.dialog.get()));
        s.child("LbButton2")->setFocus();
        QTest::keyClick(s.child("LbButton2"), Qt::Key_Return);
        QCOMPARE(s.fake.desktop.started.size(), size_t(1));
        s.child("LbButton1")->setFocus();
        QTest::keyClick(s.child("LbButton1"), Qt::Key_Return);
        QVERIFY(!s.dialog->isVisible());
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

    // Disabled, the button's caption greys with its picture, and stays readable.
    void theDisabledButtonLooksDisabled()
    {
        Setup s;
        s.show();
        QPushButton* button = s.child("LbButton2");
        QVERIFY(!button->isEnabled());
        const QColor background(248, 247, 237);
        const int captionX = 26;  // right of the picture
        const double disabled = test::TextContrast(button, background, captionX);
        s.hide();
        s.withBaseFirmware();
        s.show();
        QVERIFY(button->isEnabled());
        const double enabled = test::TextContrast(button, background, captionX);
        QVERIFY2(enabled > 10, qPrintable(QString::number(enabled)));
        QVERIFY2(disabled < enabled - 4, qPrintable(QString("%1 against %2").arg(disabled).arg(enabled)));
        QVERIFY2(disabled >= 4.5, qPrintable(QString::number(disabled)));
        QVERIFY(!s.child("LbButton1")->toolTip().isEmpty());
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

    void restoringTheMinimisedDialogKeepsThePort()
    {
        Setup s;
        s.withMergeInputs();
        s.withFlashTool();
        s.show();
        s.child<QComboBox>("cbport")->setCurrentIndex(4);
        QVERIFY(test::MinimiseAndRestore(s.dialog.get()));
        QCOMPARE(s.child<QComboBox>("cbport")->currentText(), QString("COM5"));
        s.execute();
        QCOMPARE(s.fake.desktop.started.size(), size_t(1));
        QCOMPARE(s.fake.desktop.started[0].arguments, (QStringList{s.merged(), "4"}));
        // The program's own showing still starts over.
        s.hide();
        s.show();
        QCOMPARE(s.child<QComboBox>("cbport")->currentText(), QString("COM1"));
    }

    void executeMergesAndStartsTheFlashTool()
    {
#ifdef Q_OS_WIN
        Setup s("Boiler 2 'site' & co");  // blanks and the like reach the tool intact; Windows has no " in names
#else
        Setup s("Boiler 2 \"site\"");  // blanks and quotes reach the tool intact
#endif
        s.withMergeInputs();
        s.withFlashTool();
        s.show();
        s.child<QComboBox>("cbport")->setCurrentIndex(7);
        s.execute();

        QVERIFY(s.fake.boxes.shown.empty());
        const std::string merged = test::ReadText(ToPath(s.merged()));
        QVERIFY(merged.find("S22438800000000000") != std::string::npos);  // bank 1's zero bytes in its window
        QVERIFY(merged.find("AABBCCDD") == std::string::npos);
        QVERIFY(merged.find("11223344") != std::string::npos);
        QCOMPARE(s.fake.desktop.started.size(), size_t(1));
        const auto& start = s.fake.desktop.started[0];
        QCOMPARE(start.program, s.programFolder + kSep + "Kestrow.exe");
        QCOMPARE(start.arguments, (QStringList{s.merged(), "7"}));
        QCOMPARE(QDir(start.workingFolder).canonicalPath(), QDir(s.master).canonicalPath());
        auto* bar = s.child<QProgressBar>("Avanzamento");
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(s.dialog->resultLine(), "Merged firmware written to " + QDir::toNativeSeparators(s.merged()) +
                                             "; the flash tool was started on COM8.");
        QVERIFY(s.child<QLabel>("LResult")->isVisible());

        // A second press merges again from the base firmware and starts the tool again.
        test::WriteText(ToPath(s.merged()), "S0 stale\r\n");
        s.execute();
        QCOMPARE(test::ReadText(ToPath(s.merged())), merged);
        QCOMPARE(s.fake.desktop.started.size(), size_t(2));

        // A tool that does not start is said, never passed over as started.
        s.fake.desktop.startSucceeds = false;
        s.execute();
        QCOMPARE(s.dialog->resultLine(), "Merged firmware written to " + QDir::toNativeSeparators(s.merged()) +
                                             "; the flash tool " + QDir::toNativeSeparators(s.programFolder + kSep + "Kestrow.exe") +
                                             " could not be started.");
        // The next showing starts without a result.
        s.hide();
        s.show();
        QCOMPARE(s.dialog->resultLine(), QString());
    }

    void theFlashToolGetsTheMergedFirmwareInTheCaseItHasOnDisk()
    {
        Setup s;
        s.withMergeInputs();
        s.withFlashTool();
        const QString onDisk = s.project + kSep + "NEW_PELMORA.SX";
        test::WriteText(ToPath(onDisk), "S0 an older merged firmware\r\n");
        s.show();
        s.child<QComboBox>("cbport")->setCurrentIndex(2);
        s.execute();

        QVERIFY(s.fake.boxes.shown.empty());
        QVERIFY(test::ReadText(ToPath(onDisk)).find("S22438800000000000") != std::string::npos);
        QCOMPARE(s.fake.desktop.started.size(), size_t(1));
        QCOMPARE(s.fake.desktop.started[0].arguments, (QStringList{onDisk, "2"}));
    }

    void failuresKeepTheFlashToolIdle_data()
    {
        QTest::addColumn<bool>("bank2Window");
        QTest::addColumn<bool>("s9");
        QTest::addColumn<bool>("flashTool");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("mergedWritten");
        QTest::addColumn<QString>("result");  // %1: the merged firmware
        QTest::newRow("no flash tool") << true << true << false << "Kestrow.exe Not Found, Procedure Aborted" << true
                                       << "Merged firmware written to %1; the flash tool Kestrow.exe was not found and "
                                          "not started.";
        QTest::newRow("no S9") << true << false << true << "Record S9 Not Found,Abort Procedure" << false
                               << "The firmware was not merged whole: the flash tool was not started.";
        QTest::newRow("bank 2 not inserted") << false << true << true << "Bank 2 Not Inserted,Abort Procedure" << true
                                             << "The firmware was not merged whole: the flash tool was not started.";
    }
    void failuresKeepTheFlashToolIdle()
    {
        QFETCH(bool, bank2Window);
        QFETCH(bool, s9);
        QFETCH(bool, flashTool);
        QFETCH(QString, message);
        QFETCH(bool, mergedWritten);
        Setup s;
        s.withMergeInputs(bank2Window, s9);
        if (flashTool) s.withFlashTool();
        // A merged firmware of an earlier run must never reach the device in place of this one.
        test::WriteText(ToPath(s.merged()), "S0 an older merged firmware\r\n");
        s.show();
        s.execute();

        QCOMPARE(s.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Plain, message}}));
        QVERIFY(s.fake.desktop.started.empty());
        QCOMPARE(test::ReadText(ToPath(s.merged())) != "S0 an older merged firmware\r\n", mergedWritten);
        QFETCH(QString, result);
        QCOMPARE(s.dialog->resultLine(), QString(result).replace("%1", QDir::toNativeSeparators(s.merged())));
    }

    // A build stopped among its renames leaves bank files of two builds: the merge refuses them
    // as it refuses other bank files, writes nothing and the flash tool stays idle.
    void theBankFilesOfAnUnfinishedBuildAreRefused()
    {
        Setup s;
        s.withMergeInputs();
        s.withFlashTool();
        test::WriteText(ToPath(s.merged()), "S0 an older merged firmware\r\n");
        struct Stopped {};
        bool stopped = false;
        try {
            WriteBankOutputs(ConfigurationImage(), ToPath(s.project), [](const std::filesystem::path&) { throw Stopped{}; });
        } catch (const Stopped&) {
            stopped = true;
        }
        QVERIFY(stopped);
        s.show();
        s.execute();

        const QString bin = QDir::toNativeSeparators(s.project + kSep + "bin");
        QCOMPARE(s.fake.boxes.shown,
                 (std::vector<ShownBox>{{ShownBox::Plain, bin + ": the last build did not complete: build again"}}));
        QVERIFY(s.fake.desktop.started.empty());
        QCOMPARE(test::ReadText(ToPath(s.merged())), std::string("S0 an older merged firmware\r\n"));
        QCOMPARE(s.dialog->resultLine(), QString("The firmware was not merged: the flash tool was not started."));
    }

private:
    QString savedCurrent_;
};

QTEST_MAIN(FirmwareDialogTest)
#include "firmware_dialog_test.moc"
