// How long a dialog takes from the button press to its painted window, on the offscreen platform.
#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "documents/pargen_document.h"
#include "editors/byte_map_editor.h"
#include "editors/communication_dialog.h"
#include "editors/frame_list_editor.h"
#include "platform/platform.h"
#include "project/project_state.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <filesystem>
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

// The transmit byte map editor on the largest byte map: 250 frames, 2976 registers spread over
// them, most on the first frame (the frame that takes longest to list).
struct LargestTransmitByteMap {
    test::TempFolder folder;
    ProjectState project;
    test::RecordingMessageBoxes boxes;
    std::unique_ptr<TFInfoTpdoMB> editor;

    LargestTransmitByteMap()
    {
        std::vector<FrameRow> frames;
        for (int f = 0; f < 250; ++f) frames.push_back({"6", "0", std::to_string(61440 + f), std::to_string(f % 240), ""});
        WriteFrameList(folder / "TCobDef.xml", Direction::Transmit, frames);
        ByteMap map(250);
        for (int f = 0; f < 250; ++f) map[f].NrPdo = f + 1;
        for (int i = 0; i < 2976; ++i) {
            const int frame = i < 1000 ? 0 : i % 250;
            map[frame].registers.push_back({std::to_string(i + 1), std::to_string(16 * (i % 9) + (i + 1) % 9), "1"});
        }
        WriteByteMap(folder.path(), Direction::Transmit, map);
        WritePargen(folder / "pargen.xml", PargenValues{.Write_J1939 = true});
        project.folder = FromPath(folder.path());
        BuildDocumentPaths(project);
        editor = std::make_unique<TFInfoTpdoMB>(project, boxes);
        editor->setEditorMode(Direction::Transmit);
    }
};

// The transmit "Define J1939" on it: both documents read, 250 frame lines listed, the dialog
// painted.
void BM_TransmitByteMapEditorShow(benchmark::State& state)
{
    LargestTransmitByteMap f;
    for (auto _ : state) showAndPaint(*f.editor);
    if (!f.boxes.shown.empty() || f.editor->LPdoCanA()->count() != 250) state.SkipWithError("the byte map was not shown");
}
BENCHMARK(BM_TransmitByteMapEditorShow)->Unit(benchmark::kMillisecond);

// Picking a frame in it and the repaint; every other pick is the frame with 1000 registers.
void BM_TransmitByteMapFrameSelection(benchmark::State& state)
{
    LargestTransmitByteMap f;
    f.editor->show();
    QCoreApplication::processEvents();
    int frame = 0;
    for (auto _ : state) {
        f.editor->LPdoCanA()->select(frame);
        f.editor->LPdoCanAClick();
        f.editor->repaint();
        QCoreApplication::processEvents();
        frame = frame == 0 ? 1 : 0;
    }
    if (!f.boxes.shown.empty() || f.editor->LIndMbCanA()->count() == 0) state.SkipWithError("no registers were listed");
}
BENCHMARK(BM_TransmitByteMapFrameSelection)->Unit(benchmark::kMillisecond);

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
