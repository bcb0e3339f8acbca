#pragma once

// The main window's test fixture: a program folder of its own, the recording platform and the
// main window started in it.
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
#include <QDirIterator>
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

namespace trelvant::test {

inline const QString kTitle = TFTrelvanteFirmWare::kTitle;
inline const QString kPrefix = TFTrelvanteFirmWare::kTitlePrefix;
inline const QString kSep = QDir::separator();

// A program folder of its own, the recording platform, and the main window started in it.
struct Program {
    TempFolder dir;
    RecordingPlatform fake;
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
        // In the system's own separators, as the expected names are written.
        while (it.hasNext()) entries << QDir::toNativeSeparators(it.next()).mid(projects().size() + 1);
        entries.sort();
        return entries;
    }
};

}  // namespace trelvant::test
