#include "platform/message_boxes.h"

#include <QMessageBox>

namespace trelvant {
namespace {

void show(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

void QtMessageBoxes::plain(QWidget* parent, const QString& text)
{
    show(parent, QMessageBox::NoIcon, kApplicationTitle, text);
}

void QtMessageBoxes::error(QWidget* parent, const QString& text)
{
    show(parent, QMessageBox::Critical, QStringLiteral("Error"), text);
}

void QtMessageBoxes::toolkitError(QWidget* parent, const QString& text)
{
    show(parent, QMessageBox::Critical, kApplicationTitle, text);
}

}  // namespace trelvant
