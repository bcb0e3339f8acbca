#pragma once

#include "image/srecord_merge.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace trelvant::test {

#ifndef _WIN32
// Files of this process and of the tools it starts stop growing at a size: a write past it fails
// with "File too large" instead of ending the program with a signal.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = std::min(limit.rlim_cur, bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        std::signal(SIGXFSZ, oldSignal_);
        setrlimit(RLIMIT_FSIZE, &old_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldSignal_)(int) = SIG_DFL;
};

// Bounds a merge that reads a device or a FIFO after all, in this process or in a tool it starts
// (they inherit the limits): a file stops growing at 64 MB, with an error instead of a signal;
// processor time ends a minute after the present; after the time-out a FIFO that a reader waits
// on gets a writer that leaves at once, so that the reader sees its end; after twice the time-out
// the test program ends. Nothing opens the FIFOs before the time-out.
class RunawayGuard {
public:
    explicit RunawayGuard(std::vector<std::filesystem::path> fifos = {},
                          std::chrono::seconds timeout = std::chrono::seconds(20))
        : fifos_(std::move(fifos))
    {
        getrlimit(RLIMIT_CPU, &oldProcessorTime_);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        rlimit processorTime = oldProcessorTime_;
        processorTime.rlim_cur = std::min<rlim_t>(
            processorTime.rlim_cur, static_cast<rlim_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 60));
        setrlimit(RLIMIT_CPU, &processorTime);
        watchdog_ = std::thread([this, timeout] { watch(timeout); });
    }

    ~RunawayGuard()
    {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        watchdog_.join();
        setrlimit(RLIMIT_CPU, &oldProcessorTime_);
    }

    RunawayGuard(const RunawayGuard&) = delete;
    RunawayGuard& operator=(const RunawayGuard&) = delete;

    // The time-out passed while the guarded work ran.
    bool fired() const
    {
        const std::lock_guard lock(mutex_);
        return fired_;
    }

private:
    void watch(std::chrono::seconds timeout)
    {
        std::unique_lock lock(mutex_);
        if (changed_.wait_for(lock, timeout, [this] { return done_; })) return;
        fired_ = true;
        for (const std::filesystem::path& fifo : fifos_) {
            // Opens only while a reader waits, and never blocks.
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) close(fd);
        }
        if (changed_.wait_for(lock, timeout, [this] { return done_; })) return;
        std::fprintf(stderr, "A merge still runs after %lld s: it reads a FIFO or a device\n",
                     static_cast<long long>(2 * timeout.count()));
        std::_Exit(1);
    }

    FileSizeLimit fileSize_{64u << 20};
    std::vector<std::filesystem::path> fifos_;
    rlimit oldProcessorTime_{};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    bool fired_ = false;
    std::thread watchdog_;
};
#endif

// Records what the merge reports instead of showing it.
class RecordingReport final : public MergeReport {
public:
    void message(const std::string& text) override { messages.push_back(text); }
    void progress(std::uint64_t position, std::uint64_t maximum) override { steps.push_back({position, maximum}); }

    struct Step {
        std::uint64_t position;
        std::uint64_t maximum;
    };
    std::vector<std::string> messages;
    std::vector<Step> steps;
};

// The bytes of bank n in these tests: bank 1 starts with 32 bytes 0xFF, bank 2 ends with 32 zero
// bytes, the rest is a pattern that differs between banks and records.
inline std::vector<std::uint8_t> TestBank(int bank)
{
    std::vector<std::uint8_t> bytes(16384);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(bank) * 31 + i / 256);
    if (bank == 1) std::fill(bytes.begin(), bytes.begin() + 32, std::uint8_t{0xFF});
    if (bank == 2) std::fill(bytes.end() - 32, bytes.end(), std::uint8_t{0});
    return bytes;
}

// A program folder with MASTER/Pelmora.sx and a project whose bin folder holds bank1.bin to
// bank5.bin, an older merged firmware and a stray intermediate file of an interrupted run.
struct MergeFolder {
    TempFolder root;
    std::filesystem::path master = root / "MASTER";
    std::filesystem::path project = root / "PROJECTS" / "Boiler 2";
    std::filesystem::path base = master / "Pelmora.sx";
    std::filesystem::path merged = project / "New_Pelmora.sx";
    static constexpr const char* kOldMerged = "S0 an older merged firmware\r\n";

    explicit MergeFolder(const std::string& baseText)
    {
        std::filesystem::create_directories(master);
        std::filesystem::create_directories(project / "bin");
        WriteText(base, baseText);
        for (int n = 1; n <= 5; ++n) {
            const auto bytes = TestBank(n);
            WriteText(project / "bin" / ("bank" + std::to_string(n) + ".bin"), std::string(bytes.begin(), bytes.end()));
        }
        WriteText(merged, kOldMerged);
        WriteText(project / "B3.sx", "S0 left by an interrupted run\r\n");
        WriteText(project / "bin" / "Bin.sx", "S0 left by an interrupted run\r\n");
    }

    MergeJob job() const { return ProjectMergeJob(project, base); }

    // Every file below the root with its content.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path()))
            if (entry.is_regular_file())
                files[std::filesystem::relative(entry.path(), root.path()).generic_string()] = ReadText(entry.path());
        return files;
    }
};

inline std::string Crlf(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

inline std::vector<std::string> CrlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start != text.size()) lines.push_back("<text after the last line end: " + text.substr(start) + ">");
    return lines;
}

}  // namespace trelvant::test
