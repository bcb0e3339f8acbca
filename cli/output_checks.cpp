#include "cli/output_checks.h"

#include "documents/byte_map_document.h"
#include "documents/direction.h"
#include "documents/frame_list_document.h"
#include "documents/pargen_document.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <system_error>

namespace trelvant::cli {
namespace {

std::vector<std::filesystem::path> documentsOf(const std::filesystem::path& project)
{
    return {ResolveFileName(project / kPargenFileName),
            FrameListPath(project, Direction::Receive),
            FrameListPath(project, Direction::Transmit),
            ByteMapPath(project, Direction::Receive),
            ByteMapPath(project, Direction::Transmit)};
}

void refuseIfSame(const std::filesystem::path& output, const std::filesystem::path& input)
{
    std::error_code ec;
    if (std::filesystem::equivalent(output, input, ec) && !ec)
        throw Error("Unable to write to " + DisplayPath(output) + ": it is " + DisplayPath(input) +
                    ", which this command reads");
}

}  // namespace

void RefuseOutputOverInputs(const std::filesystem::path& output, const std::vector<std::filesystem::path>& inputs)
{
    std::error_code ec;
    if (!std::filesystem::exists(output, ec)) return;  // a new file is no input
    for (const std::filesystem::path& input : inputs) {
        if (std::filesystem::is_directory(input, ec)) {
            for (const std::filesystem::path& document : documentsOf(input)) refuseIfSame(output, document);
        } else {
            refuseIfSame(output, input);
        }
    }
}

}  // namespace trelvant::cli
