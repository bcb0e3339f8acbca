#pragma once

#include <QString>

class QWidget;

namespace trelvant {

// The application title: the task bar's text and the title of plain message boxes.
inline const QString kApplicationTitle = QStringLiteral("Firmware Trelvant");

// Asked when Cancel, Escape or the close box would drop what the user changed in an editor.
inline const QString kDiscardChanges = QStringLiteral("The changes made in this window are not saved.\n\nDiscard them?");

// The message boxes of the system. Each waits for its answer before it returns.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Title "Firmware Trelvant", no icon, OK.
    virtual void plain(QWidget* parent, const QString& text) = 0;
    // Title "Error", error icon, OK.
    virtual void error(QWidget* parent, const QString& text) = 0;
    // What an error that no handler catches shows: application title, stop icon, the message, OK.
    virtual void toolkitError(QWidget* parent, const QString& text) = 0;
    // Title "Firmware Trelvant", warning icon, the text as it stands, Yes and No with No the
    // default and the answer to Escape. True for Yes.
    virtual bool question(QWidget* parent, const QString& text) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
public:
    void plain(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
    void toolkitError(QWidget* parent, const QString& text) override;
    bool question(QWidget* parent, const QString& text) override;
};

}  // namespace trelvant
