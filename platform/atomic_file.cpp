#include "platform/atomic_file.h"

#include "documents/error.h"
#include "platform/atomic_output_file.h"
#include "platform/file_names.h"

#include <fstream>
#include <system_error>

namespace trelvant {
namespace {


}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes)
{
    AtomicOutputFile file(target);
    file.append(bytes);
    if (!file.commit()) throw Error("Unable to write to " + DisplayPath(target));
}

std::string ReadWholeFile(const std::filesystem::path& requested)
{
    const std::filesystem::path path = ResolveFileName(requested);
    const Error failure("Unable to read " + DisplayPath(requested));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw failure;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw failure;
    std::string text;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        text.append(block, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) throw failure;
    return text;
}

}  // namespace trelvant
