#include "platform/folder_browser.h"
#include "platform/platform.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

using namespace trelvant;

namespace {

// PROJECTS with A/Deep and B below it, and a folder beside PROJECTS that must stay out of reach.
struct Tree {
    test::TempFolder dir;
    QString root = FromPath(dir.path()) + QDir::separator() + "PROJECTS";
    Tree()
    {
        for (const char* folder : {"PROJECTS/A/Deep", "PROJECTS/B", "Outside"}) QDir().mkpath(FromPath(dir / folder));
    }
    QString below(const QString& relative) const { return QDir::toNativeSeparators(root + "/" + relative); }
};

QPushButton* button(QDialog* dialog, QDialogButtonBox::StandardButton which)
{
    return dialog->findChild<QDialogButtonBox*>()->button(which);
}

}  // namespace

class FolderBrowserTest : public QObject {
    Q_OBJECT

private slots:
    void showsOnlyTheRootAtTheTop()
    {
        Tree tree;
        FolderBrowserDialog dialog(tree.root, "Select directory of project", tree.below("A/Deep"));
        QCOMPARE(dialog.windowTitle(), QString("Select directory of project"));
        auto* label = dialog.findChild<QLabel*>();
        QCOMPARE(label->text(), QString("Select directory of project"));
        QCOMPARE(label->buddy(), dialog.tree());

        QAbstractItemModel* model = dialog.tree()->model();
        const QModelIndex top = dialog.tree()->rootIndex();
        QTRY_COMPARE(model->rowCount(top), 1);
        QCOMPARE(model->index(0, 0, top).data().toString(), QString("PROJECTS"));
        QCOMPARE(dialog.selectedFolder(), tree.below("A/Deep"));
    }

    void cannotLeaveTheRoot()
    {
        Tree tree;
        FolderBrowserDialog dialog(tree.root, "Select directory of project", QString());
        QCOMPARE(dialog.selectedFolder(), QDir::toNativeSeparators(tree.root));
        QVERIFY(!dialog.selectFolder(FromPath(tree.dir / "Outside")));
        QVERIFY(!dialog.selectFolder(FromPath(tree.dir.path())));
        QCOMPARE(dialog.selectedFolder(), QDir::toNativeSeparators(tree.root));
        QVERIFY(dialog.selectFolder(tree.below("B")));
        QCOMPARE(dialog.selectedFolder(), tree.below("B"));
        // An initial folder outside the root opens on the root.
        FolderBrowserDialog outside(tree.root, "Select directory of project", FromPath(tree.dir / "Outside"));
        QCOMPARE(outside.selectedFolder(), QDir::toNativeSeparators(tree.root));
    }

    void browseReturnsTheChoiceOrNothing()
    {
        Tree tree;
        QtFolderBrowser browser;
        test::ModalScript choose([&](QDialog* dialog) {
            QVERIFY(static_cast<FolderBrowserDialog*>(dialog)->selectFolder(tree.below("B")));
            QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
        });
        QCOMPARE(browser.browse(nullptr, tree.root, "Select directory of project", QString()), std::optional(tree.below("B")));
        QVERIFY(choose.ran());

        test::ModalScript cancel([&](QDialog* dialog) {
            QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
        });
        QCOMPARE(browser.browse(nullptr, tree.root, "Select directory of project", tree.below("A")), std::nullopt);
        QVERIFY(cancel.ran());
    }
};

QTEST_MAIN(FolderBrowserTest)
#include "folder_browser_test.moc"
