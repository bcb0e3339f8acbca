#include "platform/file_chooser.h"

#include <QDir>
#include <QFileDialog>

namespace trelvant {

std::optional<QString> QtFileChooser::openFile(QWidget* parent, const QString& folder, const QStringList& filters)
{
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("OpenExcel"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

}  // namespace trelvant
