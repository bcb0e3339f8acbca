// How long a dialog takes from the button press to its painted window, on the offscreen platform.
#include "documents/pargen_document.h"
#include "documents/frame_list_document.h"
#include "editors/communication_dialog.h"
#include "editors/frame_list_editor.h"
#include "platform/platform.h"
#include "shell/project_state.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

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
    const PargenValues values{.En_Rem_Req = true, .Pri_Des = "10", .PGN1 = "11", .PGN2 = "12", .SA = "13"};
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

// "Receive J1939" on a full frame list: 250 frames read into the grid, the grid painted.
void BM_ReceiveFrameListEditorShow(benchmark::State& state)
{
    test::TempFolder folder;
    std::vector<FrameRow> rows;
    for (int i = 0; i < 250; ++i)
        rows.push_back({"0x" + std::to_string(0xF000 + i), std::to_string(i % 240), i % 3 ? "N" : "Y",
                        "Frame number " + std::to_string(i + 1)});
    WriteFrameList(folder / "RCobDef.xml", Direction::Receive, rows);
    ProjectState project;
    project.folder = FromPath(folder.path());
    BuildDocumentPaths(project);
    test::RecordingMessageBoxes boxes;
    const bool fresh = state.range(0) != 0;
    std::unique_ptr<TFpdoMB> editor = std::make_unique<TFpdoMB>(project, boxes);
    for (auto _ : state) {
        if (fresh) editor = std::make_unique<TFpdoMB>(project, boxes);
        editor->setEditorMode(Direction::Receive);
        showAndPaint(*editor);
    }
    if (!boxes.shown.empty()) state.SkipWithError("a message box was shown");
}
// 0: the editor shown before; 1: its first showing, the editor made just before.
BENCHMARK(BM_ReceiveFrameListEditorShow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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
