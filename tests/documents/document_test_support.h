#pragma once

#include "tests/support/temp_folder.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#ifdef __linux__
#include <csignal>
#include <sys/resource.h>
#endif

namespace trelvant::test {

// A golden file of tests/data/documents, byte for byte.
inline std::string Golden(std::string_view name)
{
    return ReadText(std::filesystem::path(TRELVANT_DOCUMENTS_TEST_DATA) / name);
}

inline std::size_t EntriesIn(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

#ifdef __linux__
// While alive, no file of this process may grow beyond limit bytes: a disk that fills up half
// way through a save.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};
#endif

}  // namespace trelvant::test
