#include "tests/support/recording_platform.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QShowEvent>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace trelvant::test {

char* toString(const std::vector<ShownBox>& boxes)
{
    static const char* const kKinds[] = {"plain", "error", "toolkit", "question"};
    QStringList shown;
    for (const ShownBox& box : boxes) shown << QStringLiteral("%1 \"%2\"").arg(kKinds[box.kind], box.text);
    return qstrdup(("[" + shown.join(", ") + "]").toUtf8().constData());
}

bool MinimiseAndRestore(QWidget* window)
{
    // Counts the window system's shows that follow its hide. Some platforms show a minimised
    // modal dialog again on their own while the minimising is handled, before showNormal().
    class SpontaneousShows final : public QObject {
    public:
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (!event->spontaneous()) return false;
            if (event->type() == QEvent::Hide) hidden = true;
            if (event->type() == QEvent::Show && hidden) ++count;
            return false;
        }
        bool hidden = false;
        int count = 0;
    } shows;
    window->installEventFilter(&shows);
    window->showMinimized();
    QCoreApplication::processEvents();
    window->showNormal();
    // The window system's show may take more than one pass of the event loop on a busy machine.
    QElapsedTimer waited;
    waited.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    } while (shows.count == 0 && waited.elapsed() < 2000);
    window->removeEventFilter(&shows);
    return shows.count > 0;
}

namespace {

double relativeLuminance(const QColor& colour)
{
    const auto channel = [](double value) {
        value /= 255.0;
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.red()) + 0.7152 * channel(colour.green()) + 0.0722 * channel(colour.blue());
}

}  // namespace

double TextContrast(QWidget* widget, const QColor& background, int fromX)
{
    // A widget without a background of its own grabs with transparent pixels: lay it on the colour.
    QImage image(widget->size() * widget->devicePixelRatio(), QImage::Format_RGB32);
    image.setDevicePixelRatio(widget->devicePixelRatio());
    image.fill(background);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    double darkest = relativeLuminance(background);
    for (int y = 0; y < image.height(); ++y)
        for (int x = fromX; x < image.width(); ++x) darkest = std::min(darkest, relativeLuminance(image.pixelColor(x, y)));
    return (relativeLuminance(background) + 0.05) / (darkest + 0.05);
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
