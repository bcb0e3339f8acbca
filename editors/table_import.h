#pragma once

#include "documents/workbook.h"
#include "platform/message_boxes.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>

class QWidget;

namespace trelvant {

class FileChooser;

// What the editors' Import asks of the user and reads: the workbook chosen in the file dialog,
// opened in the project folder, and in it the worksheet of the editor's sheet name.
class TableImport {
public:
    // The file dialog's filters: every workbook kind that can be read, then .xls workbooks only.
    static QStringList filters();

    void setFileChooser(FileChooser& files) { files_ = &files; }

    // The chosen workbook, or nothing when the user cancelled.
    std::optional<QString> chooseWorkbook(QWidget* parent, const QString& projectFolder) const;

    // The worksheet. Throws Error, for the editor to show after it has left its table as it was,
    // when the workbook cannot be read ("<file> is not a workbook that can be read: <reason>") or
    // holds no worksheet of that name ("<file>: no worksheet named <sheet>").
    static Worksheet readSheet(const QString& workbook, std::string_view sheet);

private:
    FileChooser* files_ = nullptr;
};

}  // namespace trelvant
