#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include <unistd.h>

namespace trelvant::fuzz {
namespace {

class ScratchFolder {
public:
    ScratchFolder()
    {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec)) base = std::filesystem::temp_directory_path();
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = base / ("trelvant-fuzz-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_, ec)) return;
        }
        Fail("cannot make a scratch folder under " + base.string());
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace

const std::filesystem::path& Scratch()
{
    static const ScratchFolder folder;
    return folder.path();
}

std::filesystem::path FreshFolder(std::string_view name)
{
    const std::filesystem::path folder = Scratch() / name;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    if (!std::filesystem::create_directories(folder, ec)) Fail("cannot make " + folder.string() + ": " + ec.message());
    return folder;
}

void WriteBytes(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) Fail("cannot write " + file.string());
}

std::string ReadBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) Fail("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string_view> SplitInput(const std::uint8_t* data, std::size_t size, std::size_t maxParts)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < maxParts) {
        const std::size_t cut = rest.find(kSeparator);
        if (cut == std::string_view::npos) break;
        parts.push_back(rest.substr(0, cut));
        rest.remove_prefix(cut + kSeparator.size());
    }
    parts.push_back(rest);
    return parts;
}

void Fail(const std::string& what)
{
    std::fprintf(stderr, "\n*** property broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace trelvant::fuzz
