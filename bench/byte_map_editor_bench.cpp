// One key typed in "Index MODBUS" of the byte map editors on the largest project the image holds,
// with the project check following what is typed, on the offscreen platform. Target: under 16 ms.
#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "documents/pargen_document.h"
#include "editors/byte_map_editor.h"
#include "platform/platform.h"
#include "project/project_state.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace trelvant {
namespace {

constexpr std::size_t kFrames = 250;
// The two byte maps' registers lie apart from each other and from pargen.xml's TO_ModReg (1).
constexpr int kFirstReceiveRegister = 1000;
constexpr int kFirstTransmitRegister = 5000;
// A frame's first six registers take its eight bytes once; the registers after them choose none.
constexpr int kPosComp[] = {0x21, 0x34, 0x05, 0x60, 0x07, 0x80};

// rows registers spread over every frame in turn, their numbers in no particular order, typed in
// decimal, "0x" and "$" forms.
ByteMap LargestByteMap(Direction direction, std::size_t rows)
{
    const bool transmit = direction == Direction::Transmit;
    const int first = transmit ? kFirstTransmitRegister : kFirstReceiveRegister;
    ByteMap map(kFrames);
    for (std::size_t f = 0; f < kFrames; ++f) map[f].NrPdo = static_cast<std::int32_t>(f + 1);
    for (std::size_t i = 0; i < rows; ++i) {
        const int reg = first + static_cast<int>(i * 7919 % rows);
        static const char* const forms[] = {"%d", "0x%X", "$%X"};
        char index[16];
        std::snprintf(index, sizeof index, forms[i % 3], reg);
        const std::size_t slot = i / kFrames;
        const int positions = slot < std::size(kPosComp) ? kPosComp[slot] : 0;
        map[i % kFrames].registers.push_back({index, std::to_string(positions), transmit ? (i % 2 ? "1" : "0") : ""});
    }
    return map;
}

// Full frame lists, pargen.xml, both byte maps at their room (2912 and 2976 rows): the check
// finds nothing in the project as stored.
struct LargestProject {
    test::TempFolder folder;
    ProjectState project;

    LargestProject()
    {
        PargenValues pargen;
        pargen.Write_J1939 = true;
        WritePargen(folder / kPargenFileName, pargen);
        std::vector<FrameRow> receive, transmit;
        for (std::size_t f = 0; f < kFrames; ++f) {
            const std::string name = std::to_string(f + 1);
            receive.push_back({std::to_string(f % 4 ? 0xFE00 + f : 0xEF00 + f), std::to_string(f % 240), "N", "R" + name});
            transmit.push_back({"6", "0", std::to_string(f % 4 ? 0xFF00 + f : 0xEF00 + f), "33", "T" + name});
        }
        WriteFrameList(FrameListPath(folder.path(), Direction::Receive), Direction::Receive, receive);
        WriteFrameList(FrameListPath(folder.path(), Direction::Transmit), Direction::Transmit, transmit);
        WriteByteMap(folder.path(), Direction::Receive, LargestByteMap(Direction::Receive, kMaxReceiveMapRows));
        WriteByteMap(folder.path(), Direction::Transmit, LargestByteMap(Direction::Transmit, kMaxTransmitMapRows));
        project.folder = FromPath(folder.path());
        BuildDocumentPaths(project);
    }
};

void Key(QWidget* widget, Qt::Key key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

// The user has picked the first frame and typed "1000" (a receive register's index, so New would
// make it a duplicate); each key then types "0" ("10000", no register's) or takes it back with
// Backspace. Per key: the key's handling, one check of the project with the typed register added
// to the byte map, the fields' marks, and the repaint. Arg 0: receive, 1: transmit.
void BM_ByteMapEditorIndexKey(benchmark::State& state)
{
    LargestProject project;
    test::RecordingMessageBoxes boxes;
    const bool transmit = state.range(0) != 0;
    std::unique_ptr<ByteMapEditor> editor;
    if (transmit) editor = std::make_unique<TFInfoTpdoMB>(project.project, boxes);
    else editor = std::make_unique<TFInfopdoMB>(project.project, boxes);
    editor->show();
    QCoreApplication::processEvents();
    editor->LPdoCanA()->select(0);
    editor->LPdoCanAClick();
    QLineEdit* field = editor->EindexA();
    field->setFocus();
    for (const char digit : std::string("1000")) Key(field, Qt::Key(digit), QString(QChar(digit)));
    QCoreApplication::processEvents();
    if (!field->toolTip().contains("also in")) state.SkipWithError("the typed index was not checked");

    bool longer = false;
    for (auto _ : state) {
        if (longer) Key(field, Qt::Key_Backspace, QString());
        else Key(field, Qt::Key_0, QStringLiteral("0"));
        longer = !longer;
        QCoreApplication::processEvents();
    }
    if (!boxes.shown.empty() || editor->LPdoCanA()->count() != static_cast<int>(kFrames) ||
        !editor->findings().empty())
        state.SkipWithError("the project was not shown as built");
}
BENCHMARK(BM_ByteMapEditorIndexKey)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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
