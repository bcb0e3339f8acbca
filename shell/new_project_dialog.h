#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace trelvant {

class MessageBoxes;
struct ProjectState;

// The New project dialog. On OK it makes the project folder below the destination folder and
// makes it the current project; it closes only through OK (when that succeeded) or Cancel.
class TFsaveproj : public QDialog {
    Q_OBJECT
public:
    TFsaveproj(ProjectState& project, MessageBoxes& boxes, QWidget* parent = nullptr);

    void setDestinationFolder(const QString& folder) { destinationFolder_ = folder; }
    const QString& destinationFolder() const { return destinationFolder_; }

    void FormShow();
    void BitBtn1Click();  // OK
    void BitBtn2Click();  // Cancel

    void reject() override;  // Escape is Cancel

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ProjectState& project_;
    MessageBoxes& boxes_;
    QString destinationFolder_;
    QString typedName_;
    bool mayClose_ = false;

    QLabel* label_;
    QLineEdit* edit_;
};

}  // namespace trelvant
