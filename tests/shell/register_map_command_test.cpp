// "Register map" from the main window: its place in the top strip, and the map it writes into the
// project folder and opens in the browser.
#include "tests/shell/main_window_fixture.h"

#include <QApplication>
#include <QUrl>

#include <filesystem>
#include <set>

using namespace trelvant;
using namespace trelvant::test;

namespace {

// The example project copied to PROJECTS/Boiler2, remembered as the last project.
std::filesystem::path ExampleProject(const Program& program)
{
    const auto project = program.dir / "PROJECTS" / "Boiler2";
    std::filesystem::create_directories(project.parent_path());
    std::filesystem::copy(TRELVANT_EXAMPLE_PROJECT, project, std::filesystem::copy_options::recursive);
    program.writeIni("[lastproj]\nprojectname=\\Boiler2\n");
    return project;
}

std::set<std::filesystem::path> Entries(const std::filesystem::path& folder)
{
    std::set<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) entries.insert(entry.path().filename());
    return entries;
}

}  // namespace

class RegisterMapCommandTest : public QObject {
    Q_OBJECT

private slots:
    // Also run at 200 %: the caption must fit there too.
    void theButtonSitsInTheTopStripBesideAbout()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        auto* button = program.child(&window, "RegisterMap");
        QVERIFY(button);
        QCOMPARE(button->text(), QString("Register map"));
        QVERIFY(button->isFlat());
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->toolTip(),
                 QString("Register map: what every Modbus register of the gateway holds, opened in the browser"));
        // The whole caption and picture fit, above the first step.
        QVERIFY2(button->sizeHint().width() <= button->width(),
                 qPrintable(QString("needs %1, has %2").arg(button->sizeHint().width()).arg(button->width())));
        QVERIFY(QRect(QPoint(), window.size()).contains(button->geometry()));
        QVERIFY(button->geometry().bottom() < program.child(&window, "New")->geometry().top());
        for (QWidget* other : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other == button || !other->isVisible()) continue;
            QVERIFY2(!other->geometry().intersects(button->geometry()), qPrintable(other->objectName()));
        }
        QVERIFY(button->geometry().right() < program.child(&window, "about")->geometry().left());
    }

    void tabReachesItAfterTheStepsAndBeforeAbout()
    {
        Program program;
        TFTrelvanteFirmWare& window = program.start();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        program.child(&window, "CreateBin")->setFocus();
        for (const char* next : {"RegisterMap", "about"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
        }
        for (int back = 0; back < 2; ++back)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("CreateBin"));
    }

    // Found and pressed by its name through the accessibility layer, as a screen reader does.
    void withoutAProjectItSaysSoAndOpensNothing_data()
    {
        QTest::addColumn<bool>("projectsItself");
        QTest::newRow("no project folder") << false;
        QTest::newRow("PROJECTS itself: nothing restored") << true;
    }
    void withoutAProjectItSaysSoAndOpensNothing()
    {
        QFETCH(bool, projectsItself);
        Program program;
        program.makeFolder("Boiler2");
        if (!projectsItself) program.writeIni("[lastproj]\nprojectname=\\Boiler2\n");
        TFTrelvanteFirmWare& window = program.start();
        if (!projectsItself) {
            QDir(program.projects() + kSep + "Boiler2").removeRecursively();
            program.click("open");  // cancelled with the folder gone: no project
        }
        QCOMPARE(window.project().folder, projectsItself ? program.projects() : QString());

        QAccessibleInterface* windowInterface = QAccessible::queryAccessibleInterface(&window);
        QAccessibleInterface* found = nullptr;
        for (int i = 0; i < windowInterface->childCount(); ++i) {
            QAccessibleInterface* child = windowInterface->child(i);
            if (child && child->text(QAccessible::Name) == "Register map") {
                QVERIFY2(!found, "two controls named Register map");
                found = child;
            }
        }
        QVERIFY(found);
        QCOMPARE(found->role(), QAccessible::Button);
        QCOMPARE(found->object(), program.child(&window, "RegisterMap"));
        found->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(program.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Plain, "Project not valid"}}));
        QVERIFY(program.fake.desktop.opened.isEmpty());
        QVERIFY(!QFileInfo::exists(program.projects() + kSep + "register-map.html"));
    }

    void writesTheMapIntoTheProjectAndOpensItsFile()
    {
        Program program;
        const auto project = ExampleProject(program);
        TFTrelvanteFirmWare& window = program.start();
        QCOMPARE(window.project().folder, program.projects() + kSep + "Boiler2");

        program.click("RegisterMap");
        QVERIFY(program.fake.boxes.shown.empty());
        const auto map = project / "register-map.html";
        QVERIFY(std::filesystem::is_regular_file(map));
        QVERIFY(test::ReadText(map).starts_with("<!DOCTYPE html>"));
        QCOMPARE(program.fake.desktop.opened, QStringList{QUrl::fromLocalFile(FromPath(map)).toString()});
        QVERIFY(program.fake.desktop.opened.front().startsWith("file://"));
    }

    // The map is there, but nothing shows it: the user is told where it is.
    void withoutABrowserItSaysWhereTheMapWasWritten()
    {
        Program program;
        const auto project = ExampleProject(program);
        program.fake.desktop.openSucceeds = false;
        program.start();

        program.click("RegisterMap");
        const auto map = project / "register-map.html";
        QVERIFY(std::filesystem::is_regular_file(map));
        QCOMPARE(program.fake.desktop.opened, QStringList{QUrl::fromLocalFile(FromPath(map)).toString()});
        QCOMPARE(program.fake.boxes.shown,
                 (std::vector<ShownBox>{{ShownBox::Plain, "The register map was written to " +
                                                              QDir::toNativeSeparators(FromPath(map)) +
                                                              ".\n\nNo browser could be started to show it: open the "
                                                              "file in a browser."}}));
    }

    void aMapThatCannotBeWrittenShowsTheErrorAndOpensNothing()
    {
        Program program;
        const auto project = ExampleProject(program);
        std::filesystem::create_directory(project / "register-map.html");
        const auto before = Entries(project);
        program.start();

        program.click("RegisterMap");
        const QString message =
            "Unable to write to " + FromPath(project / "register-map.html") + ": a folder, not a regular file";
        QCOMPARE(program.fake.boxes.shown, (std::vector<ShownBox>{{ShownBox::Toolkit, message}}));
        QVERIFY(program.fake.desktop.opened.isEmpty());
        QCOMPARE(Entries(project), before);  // no temporary file left behind
        QVERIFY(std::filesystem::is_directory(project / "register-map.html"));
    }
};

QTEST_MAIN(RegisterMapCommandTest)
#include "register_map_command_test.moc"
