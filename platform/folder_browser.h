#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QFileSystemModel;
class QSortFilterProxyModel;
class QTreeView;

namespace trelvant {

// Lets the user pick root or any folder below it, and nothing outside it.
class FolderBrowser {
public:
    virtual ~FolderBrowser() = default;
    // The chosen folder's full path with native separators, or nothing when the user cancels.
    // initial, when it is root or below it, is selected as the browser opens.
    virtual std::optional<QString> browse(QWidget* parent, const QString& root, const QString& prompt,
                                          const QString& initial) = 0;
};

// A small dialog with the prompt above a tree of folders whose only top item is the root.
class FolderBrowserDialog : public QDialog {
    Q_OBJECT
public:
    FolderBrowserDialog(const QString& root, const QString& prompt, const QString& initial, QWidget* parent = nullptr);

    // The folder under the cursor, or the root when none is; native separators.
    QString selectedFolder() const;
    // Selects folder when it is root or below it; false otherwise.
    bool selectFolder(const QString& folder);

    QTreeView* tree() const { return tree_; }

private:
    QString root_;
    QFileSystemModel* model_;
    QSortFilterProxyModel* proxy_;
    QTreeView* tree_;
};

class QtFolderBrowser final : public FolderBrowser {
public:
    std::optional<QString> browse(QWidget* parent, const QString& root, const QString& prompt,
                                  const QString& initial) override;
};

}  // namespace trelvant
