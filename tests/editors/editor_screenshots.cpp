// Grabs the frame list editors and the byte map editors, a few rows filled, to PNG files in the
// folder given as the first argument.
#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "documents/pargen_document.h"
#include "editors/byte_map_editor.h"
#include "editors/frame_list_editor.h"
#include "platform/file_chooser.h"
#include "platform/platform.h"
#include "project/project_state.h"
#include "tests/support/recording_platform.h"
#include "tests/support/temp_folder.h"

#include <QApplication>
#include <QTimer>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    trelvant::test::TempFolder project;
    trelvant::test::RecordingMessageBoxes boxes;
    trelvant::ProjectState state;
    state.folder = trelvant::FromPath(project.path());
    trelvant::BuildDocumentPaths(state);

    // A project set up for J1939 frames, as the communication dialog leaves it.
    trelvant::test::WriteText(project / "pargen.xml", trelvant::PargenXml({}));
    trelvant::WriteFrameList(trelvant::FrameListPath(project.path(), trelvant::Direction::Receive),
                             trelvant::Direction::Receive,
                             {{"61444", "0", "Y", "Engine speed"}, {"0xFEF1", "0xEF", "N", "Vehicle speed"},
                              {"$FEEE", "3", "", "Engine temperature"}});
    trelvant::WriteFrameList(trelvant::FrameListPath(project.path(), trelvant::Direction::Transmit),
                             trelvant::Direction::Transmit,
                             {{"6", "0", "0xFEF1", "0", "Request"}, {"3", "1", "$F004", "239", "Torque"},
                              {"7", "0", "65280", "17", ""}});

    trelvant::TFpdoMB receive(state, boxes);
    receive.show();
    receive.grab().save(out + "/receive_frames.png");
    trelvant::TFTpdo2MB transmit(state, boxes);
    transmit.show();
    transmit.grab().save(out + "/transmit_frames.png");
    // The grid with the keyboard in it: its frame and the current cell stand out.
    transmit.activateWindow();
    transmit.sgA()->setFocus();
    transmit.sgA()->setCurrentCell(1, 3, QItemSelectionModel::NoUpdate);
    QCoreApplication::processEvents();
    transmit.grab().save(out + "/transmit_frames_focused.png");
    // A wide Mnemonic column scrolled into view: the row numbers stay at the left edge.
    transmit.sgA()->setColumnWidth(5, 700);
    QCoreApplication::processEvents();
    transmit.sgA()->horizontalScrollBar()->setValue(transmit.sgA()->horizontalScrollBar()->maximum());
    transmit.sgA()->verticalScrollBar()->setValue(5);
    transmit.grab().save(out + "/transmit_frames_scrolled.png");

    // The project check's findings at their cells, counted under the grid; F8 on the first one.
    const auto grabFindings = [&](trelvant::FrameListEditor& editor, trelvant::Direction direction,
                                  const std::vector<trelvant::FrameRow>& rows, const QString& name) {
        const std::filesystem::path list = trelvant::FrameListPath(project.path(), direction);
        const std::string kept = trelvant::test::ReadText(list);
        trelvant::WriteFrameList(list, direction, rows);
        editor.hide();
        editor.show();
        editor.activateWindow();
        if (direction == trelvant::Direction::Transmit) editor.sgA()->setColumnWidth(5, 159);  // widened above
        editor.goToFinding(1);
        QCoreApplication::processEvents();
        editor.grab().save(out + "/" + name + ".png");
        trelvant::test::WriteText(list, kept);
    };
    grabFindings(receive, trelvant::Direction::Receive,
                 {{"61444", "0", "Y", "Engine speed"}, {"12abc", "0xEF", "N", "Vehicle speed"},
                  {"0xF004", "0", "", "Engine speed again"}, {"300000", "3", "", "Wide PGN"}},
                 "receive_frames_findings");
    grabFindings(transmit, trelvant::Direction::Transmit,
                 {{"9", "0", "0xFEF1", "0", "Request"}, {"3", "1", "$F004", "239", "Torque"}, {"7", "0", "65280", "300", ""}},
                 "transmit_frames_findings");

    // The byte maps: the second frame picked, its second register shown.
    trelvant::ByteMap map(3);
    for (int f = 0; f < 3; ++f) map[f].NrPdo = f + 1;
    map[0].registers = {{"10", "33", "1"}};
    map[1].registers = {{"0x20", "18", "0"}, {"21", "8", "1"}, {"22", "136", "0"}};
    trelvant::WriteByteMap(project.path(), trelvant::Direction::Receive, map);
    trelvant::WriteByteMap(project.path(), trelvant::Direction::Transmit, map);
    trelvant::test::WriteText(project / "pargen.xml", "<GeneralParameter><Write_J1939>1</Write_J1939></GeneralParameter>");
    const auto grabMap = [&](trelvant::ByteMapEditor& editor, const QString& name) {
        editor.show();
        editor.LPdoCanA()->select(1);
        editor.LPdoCanAClick();
        editor.LIndMbCanA()->select(1);
        editor.LIndMbCanAClick();
        editor.LIndMbCanA()->setFocus();
        QCoreApplication::processEvents();
        editor.grab().save(out + "/" + name + ".png");
    };
    trelvant::TFInfopdoMB receiveMap(state, boxes);
    grabMap(receiveMap, "receive_map");
    trelvant::TFInfoTpdoMB transmitMap(state, boxes);
    grabMap(transmitMap, "transmit_map");
    // Writing on request not allowed: the drop-down looks disabled.
    trelvant::test::WriteText(project / "pargen.xml", "<GeneralParameter><Write_J1939>0</Write_J1939></GeneralParameter>");
    transmitMap.hide();
    grabMap(transmitMap, "transmit_map_no_write");

    // Import's file dialog, opened in the project folder, grabbed and cancelled.
    trelvant::test::WriteText(project / "Boiler workbook.xls", "");
    trelvant::test::WriteText(project / "Boiler workbook.ods", "");
    QTimer::singleShot(500, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            dialog->grab().save(out + "/import_file_dialog.png");
            dialog->close();
        }
    });
    trelvant::QtFileChooser().openFile(&receiveMap, state.folder, trelvant::TableImport::filters());
    return 0;
}
