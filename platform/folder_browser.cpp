#include "platform/folder_browser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace trelvant {
namespace {

// In the root's parent folder only the root itself is shown, so the tree cannot leave it.
class RootOnlyFilter final : public QSortFilterProxyModel {
public:
    RootOnlyFilter(QString root, QObject* parent)
        : QSortFilterProxyModel(parent), root_(std::move(root)), rootParent_(QFileInfo(root_).absolutePath())
    {
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* model = static_cast<const QFileSystemModel*>(sourceModel());
        const QModelIndex index = model->index(row, 0, parent);
        const QString path = model->filePath(index);
        if (model->filePath(parent) == rootParent_) return path == root_;
        return path == root_ || path.startsWith(root_ + QLatin1Char('/')) || root_.startsWith(path);
    }

private:
    QString root_;
    QString rootParent_;
};

bool isAtOrBelow(const QString& folder, const QString& root)
{
    return folder == root || folder.startsWith(root + QLatin1Char('/'));
}

}  // namespace

FolderBrowserDialog::FolderBrowserDialog(const QString& root, const QString& prompt, const QString& initial,
                                         QWidget* parent)
    : QDialog(parent),
      root_(QDir::cleanPath(QDir::fromNativeSeparators(root))),
      model_(new QFileSystemModel(this)),
      proxy_(new RootOnlyFilter(root_, this)),
      tree_(new QTreeView(this))
{
    setObjectName(QStringLiteral("FolderBrowser"));
    setWindowTitle(prompt);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    model_->setReadOnly(true);
    model_->setRootPath(QFileInfo(root_).absolutePath());
    proxy_->setSourceModel(model_);
    proxy_->setRecursiveFilteringEnabled(false);

    auto* label = new QLabel(prompt, this);
    label->setBuddy(tree_);
    tree_->setObjectName(QStringLiteral("Folders"));
    tree_->setModel(proxy_);
    tree_->setRootIndex(proxy_->mapFromSource(model_->index(QFileInfo(root_).absolutePath())));
    for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
    tree_->header()->hide();
    tree_->setAccessibleName(prompt);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tree_, &QTreeView::doubleClicked, tree_, [this](const QModelIndex& index) { tree_->expand(index); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(tree_);
    layout->addWidget(buttons);
    resize(340, 380);

    const QString wanted = QDir::cleanPath(QDir::fromNativeSeparators(initial));
    if (initial.isEmpty() || !selectFolder(wanted)) selectFolder(root_);
}

QString FolderBrowserDialog::selectedFolder() const
{
    const QModelIndex current = tree_->currentIndex();
    const QString path = current.isValid() ? model_->filePath(proxy_->mapToSource(current)) : root_;
    return QDir::toNativeSeparators(isAtOrBelow(path, root_) ? path : root_);
}

bool FolderBrowserDialog::selectFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    if (!isAtOrBelow(path, root_) || !QFileInfo(path).isDir()) return false;
    const QModelIndex index = proxy_->mapFromSource(model_->index(path));
    if (!index.isValid()) return false;
    tree_->setCurrentIndex(index);
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) tree_->expand(up);
    tree_->expand(proxy_->mapFromSource(model_->index(root_)));
    tree_->scrollTo(index);
    return true;
}

std::optional<QString> QtFolderBrowser::browse(QWidget* parent, const QString& root, const QString& prompt,
                                               const QString& initial)
{
    FolderBrowserDialog dialog(root, prompt, initial, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedFolder();
}

}  // namespace trelvant
