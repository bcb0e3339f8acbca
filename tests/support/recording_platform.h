#pragma once

#include "platform/desktop.h"
#include "platform/file_chooser.h"
#include "platform/folder_browser.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QDialog;
class QWidget;

namespace trelvant::test {

struct ShownBox {
    enum Kind { Plain, Error, Toolkit, Question };
    Kind kind;
    QString text;
    bool operator==(const ShownBox&) const = default;
};

// For Qt Test's failure messages.
char* toString(const std::vector<ShownBox>& boxes);

// Records every message box instead of showing it.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    void plain(QWidget*, const QString& text) override { shown.push_back({ShownBox::Plain, text}); }
    void error(QWidget*, const QString& text) override { shown.push_back({ShownBox::Error, text}); }
    void toolkitError(QWidget*, const QString& text) override { shown.push_back({ShownBox::Toolkit, text}); }
    bool question(QWidget*, const QString& text) override
    {
        shown.push_back({ShownBox::Question, text});
        return answer;
    }

    std::vector<ShownBox> shown;
    bool answer = false;  // to every question: No, the box's default
};

// Answers each browse with the next scripted choice (nothing: the user cancels).
class ScriptedFolderBrowser final : public FolderBrowser {
public:
    struct Call {
        QString root;
        QString prompt;
        QString initial;
    };

    std::optional<QString> browse(QWidget*, const QString& root, const QString& prompt, const QString& initial) override
    {
        calls.push_back({root, prompt, initial});
        return answer;
    }

    std::optional<QString> answer;
    std::vector<Call> calls;
};

class RecordingDesktop final : public Desktop {
public:
    struct Start {
        QString program;
        QStringList arguments;
        QString workingFolder;
    };

    bool startDetached(const QString& program, const QStringList& arguments, const QString& workingFolder) override
    {
        started.push_back({program, arguments, workingFolder});
        return startSucceeds;
    }
    bool openUrl(const QString& address) override
    {
        opened.push_back(address);
        return openSucceeds;
    }

    bool startSucceeds = true;
    bool openSucceeds = true;  // false: the desktop could not start a browser
    std::vector<Start> started;
    QStringList opened;
};

// Answers each file choice with the scripted file (nothing: the user cancels).
class ScriptedFileChooser final : public FileChooser {
public:
    struct Call {
        QString folder;
        QStringList filters;
    };

    std::optional<QString> openFile(QWidget*, const QString& folder, const QStringList& filters) override
    {
        calls.push_back({folder, filters});
        return answer;
    }

    std::optional<QString> answer;
    std::vector<Call> calls;
};

struct RecordingPlatform {
    RecordingMessageBoxes boxes;
    ScriptedFolderBrowser folders;
    RecordingDesktop desktop;
    FixedClock clock{{2009, 12, 31, 23, 59, 58}};
    ScriptedFileChooser files;
    Platform platform{boxes, folders, desktop, clock, files};
};

// Runs action on the next modal dialog as soon as it is shown (a modal dialog's exec() does not
// return to the test). If none shows within a few seconds, or the action leaves it open, the
// dialog is rejected so that the test fails instead of waiting; the result says whether the
// action ran and closed it.
class ModalScript {
public:
    explicit ModalScript(std::function<void(QDialog*)> action);
    ~ModalScript();
    bool ran() const { return ran_; }

private:
    std::function<void(QDialog*)> action_;
    bool ran_ = false;
    class QTimer* timer_;
};

// Minimises window and restores it, as the user does from the task bar. True when the show
// event that the window system sends on the restore reached the window.
bool MinimiseAndRestore(QWidget* window);

// The contrast ratio (1 to 21, as accessibility guidelines count it) between the darkest pixel of
// the widget as painted, from column fromX on, and the colour behind it: the text's own colour
// at the core of its strokes, where anti-aliasing does not lighten it.
double TextContrast(QWidget* widget, const QColor& background, int fromX = 0);

}  // namespace trelvant::test
