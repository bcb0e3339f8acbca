#include "editors/table_import.h"

#include "platform/error.h"
#include "platform/file_chooser.h"
#include "platform/file_names.h"
#include "platform/platform.h"

#include <filesystem>
#include <string>

namespace trelvant {

QStringList TableImport::filters()
{
    return {QStringLiteral("File EXCEL (%1)").arg(QString::fromLatin1(kWorkbookKinds.data(), kWorkbookKinds.size())),
            QStringLiteral("File EXCEL (*.xls)")};
}

std::optional<QString> TableImport::chooseWorkbook(QWidget* parent, const QString& projectFolder) const
{
    static QtFileChooser toolkitChooser;
    FileChooser& files = files_ ? *files_ : toolkitChooser;
    return files.openFile(parent, projectFolder, filters());
}

Worksheet TableImport::readSheet(const QString& workbook, std::string_view sheet)
{
    const std::filesystem::path path = ToPath(workbook);
#ifdef TRELVANT_WITHOUT_IMPORT
    // Built without the spreadsheet libraries: no workbook can be read.
    (void)sheet;
    throw Error(DisplayPath(path) + " is not a workbook that can be read: this program was built without a workbook reader");
#else
    std::optional<Worksheet> found = ReadWorksheet(path, sheet);
    if (!found) throw Error(DisplayPath(path) + ": no worksheet named " + std::string(sheet));
    return std::move(*found);
#endif
}

}  // namespace trelvant
