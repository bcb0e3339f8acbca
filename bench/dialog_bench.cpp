// How long a dialog takes from the button press to its painted window, on the offscreen platform.
#include "documents/pargen_document.h"
#include "editors/communication_dialog.h"
#include "platform/platform.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace trelvant {
namespace {

// What the main window's opener and the window system do up to the first paint, without the modal
// loop: the document path set, the showing with its reading of the document, the paint.
void showAndPaint(QDialog& dialog)
{
    dialog.show();
    dialog.repaint();
    QCoreApplication::processEvents();
    dialog.hide();
}

void BM_CommunicationDialogShow(benchmark::State& state)
{
    test::TempFolder project;
    PargenValues values;
    values.En_Rem_Req = true;
    values.Pri_Des = "10";
    values.PGN1 = "11";
    values.PGN2 = "12";
    values.SA = "13";
    WritePargen(project / "pargen.xml", values);
    test::RecordingMessageBoxes boxes;
    TFpargen dialog(boxes);
    for (auto _ : state) {
        dialog.setDocumentPath(FromPath(project / "pargen.xml"));
        showAndPaint(dialog);
    }
    if (!boxes.shown.empty()) state.SkipWithError("a message box was shown");
}
BENCHMARK(BM_CommunicationDialogShow)->Unit(benchmark::kMillisecond);

// The first showing of a dialog made just before: style and fonts are worked out on it.
void BM_CommunicationDialogFirstShow(benchmark::State& state)
{
    test::TempFolder project;
    WritePargen(project / "pargen.xml", PargenValues{});
    test::RecordingMessageBoxes boxes;
    for (auto _ : state) {
        TFpargen dialog(boxes);
        dialog.setDocumentPath(FromPath(project / "pargen.xml"));
        showAndPaint(dialog);
    }
}
BENCHMARK(BM_CommunicationDialogFirstShow)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trelvant

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
