#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace trelvant {

// Lets the user pick an existing file to read.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // The chosen file's full path with native separators, or nothing when the user cancels. The
    // chooser opens in folder and offers the filters in their order, the first one chosen.
    virtual std::optional<QString> openFile(QWidget* parent, const QString& folder, const QStringList& filters) = 0;
};

// The toolkit's file dialog, named "OpenExcel".
class QtFileChooser final : public FileChooser {
public:
    std::optional<QString> openFile(QWidget* parent, const QString& folder, const QStringList& filters) override;
};

}  // namespace trelvant
