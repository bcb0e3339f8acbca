#include "tests/support/recording_platform.h"

#include <QApplication>
#include <QDialog>
#include <QShowEvent>
#include <QStringList>
#include <QTimer>

namespace trelvant::test {

char* toString(const std::vector<ShownBox>& boxes)
{
    static const char* const kKinds[] = {"plain", "error", "toolkit"};
    QStringList shown;
    for (const ShownBox& box : boxes) shown << QStringLiteral("%1 \"%2\"").arg(kKinds[box.kind], box.text);
    return qstrdup(("[" + shown.join(", ") + "]").toUtf8().constData());
}

bool MinimiseAndRestore(QWidget* window)
{
    class SpontaneousShows final : public QObject {
    public:
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Show && event->spontaneous()) ++count;
            return false;
        }
        int count = 0;
    } shows;
    window->installEventFilter(&shows);
    window->showMinimized();
    QCoreApplication::processEvents();
    shows.count = 0;
    window->showNormal();
    QCoreApplication::processEvents();
    window->removeEventFilter(&shows);
    return shows.count > 0;
}

ModalScript::ModalScript(std::function<void(QDialog*)> action) : action_(std::move(action)), timer_(new QTimer)
{
    timer_->setInterval(5);
    auto attempts = std::make_shared<int>(0);
    QObject::connect(timer_, &QTimer::timeout, [this, attempts] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (++*attempts > 1000) timer_->stop();
            return;
        }
        timer_->stop();
        action_(dialog);
        ran_ = true;
        // A dialog the action left open would keep the test waiting.
        if (dialog->isVisible()) {
            ran_ = false;
            dialog->done(QDialog::Rejected);
        }
    });
    timer_->start();
}

ModalScript::~ModalScript()
{
    delete timer_;
}

}  // namespace trelvant::test
