#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace trelvant::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void WriteText(const std::filesystem::path& file, std::string_view text);
std::string ReadText(const std::filesystem::path& file);

}  // namespace trelvant::test
