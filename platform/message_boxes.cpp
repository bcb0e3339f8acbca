#include "platform/message_boxes.h"

#include <QLabel>
#include <QMessageBox>

#include <algorithm>

namespace trelvant {
namespace {

constexpr int kWidestQuestionLine = 900;  // pixels; a longer line wraps

void show(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);  // file names, typed texts and worksheet cells are never markup
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

bool QtMessageBoxes::question(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, kApplicationTitle, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);  // file names and typed texts are never markup
    // A listed line wrapped in two reads as two: the box is as wide as its widest line allows.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        int widest = 0;
        for (const QString& line : text.split(QLatin1Char('\n')))
            widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
        label->setMinimumWidth(std::min(widest + 4, kWidestQuestionLine));
    }
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace trelvant
