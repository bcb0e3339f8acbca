#include "shell/new_project_dialog.h"

#include "platform/common_look.h"
#include "platform/error_boundary.h"
#include "platform/message_boxes.h"
#include "project/project_state.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace trelvant {

TFsaveproj::TFsaveproj(ProjectState& project, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), project_(project), boxes_(boxes)
{
    setObjectName(QStringLiteral("TFsaveproj"));
    setWindowTitle(QStringLiteral("New project"));
    ApplyCommonLook(this);
    MakeFixedToolWindow(this, 319, 91);

    label_ = new QLabel(QStringLiteral("Project name"), this);
    label_->setObjectName(QStringLiteral("Label1"));
    label_->setGeometry(11, 10, 297, 16);

    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("E_name"));
    edit_->setGeometry(11, 28, 297, 21);
    label_->setBuddy(edit_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setGeometry(89, 59, 69, 23);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    cancel->setGeometry(164, 59, 69, 23);

    connect(ok, &QPushButton::clicked, this, [this] {
        // The dialog closes with OK only when the handler ran through and allows it.
        if (RunHandler(boxes_, this, [this] { BitBtn1Click(); }) && mayClose_) accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        BitBtn2Click();
        QDialog::reject();
    });
}

void TFsaveproj::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A restore from the task bar is not a new showing: the typed name stays.
    if (!event->spontaneous()) FormShow();
}

void TFsaveproj::FormShow()
{
    setWindowTitle(QStringLiteral("New project"));
    edit_->clear();
    typedName_.clear();
    label_->setVisible(true);
    edit_->setFocus();
}

void TFsaveproj::BitBtn1Click()
{
    mayClose_ = true;
    typedName_ = edit_->text();

    const NewProjectResult result = MakeProjectFolder(destinationFolder_, typedName_);
    switch (result.outcome) {
    case NewProjectOutcome::Refused:
        boxes_.plain(this, result.message);
        mayClose_ = false;
        return;
    case NewProjectOutcome::NotMade:
        mayClose_ = false;
        return;
    case NewProjectOutcome::Created:
        break;
    }

    project_.name = typedName_;
    project_.folder = result.folder;
    BuildDocumentPaths(project_);
    mayClose_ = true;
}

void TFsaveproj::BitBtn2Click()
{
    mayClose_ = true;
}

void TFsaveproj::reject()
{
    BitBtn2Click();
    QDialog::reject();
}

void TFsaveproj::closeEvent(QCloseEvent* event)
{
    // A close asked for by the window system is allowed only as OK and Cancel left it.
    if (mayClose_) QDialog::closeEvent(event);
    else event->ignore();
}

}  // namespace trelvant
