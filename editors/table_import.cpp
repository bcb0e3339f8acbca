#include "editors/table_import.h"

#include "platform/file_chooser.h"
#include "platform/platform.h"

#include <exception>

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

std::optional<Worksheet> TableImport::readSheet(const QString& workbook, std::string_view sheet)
{
#ifdef TRELVANT_WITHOUT_IMPORT
    // Built without the spreadsheet libraries: no workbook can be read.
    (void)workbook;
    (void)sheet;
    return std::nullopt;
#else
    try {
        return ReadWorksheet(ToPath(workbook), sheet);
    } catch (const std::exception&) {
        return std::nullopt;
    }
#endif
}

}  // namespace trelvant
