#pragma once

// Running a piece of work where its crash cannot take the program down: a child process of its
// own (POSIX: fork without exec), held to limits of memory, processor time and wall time, its
// result handed back as bytes through a pipe. For libraries that read users' files and may crash
// or run away on a damaged one.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace trelvant {

struct IsolationLimits {
    std::uint64_t memoryBytes = 256u * 1024u * 1024u;  // address space beyond what the program holds
    unsigned cpuSeconds = 5;
    std::chrono::milliseconds wallTime{10000};
    std::size_t maxOutputBytes = 64u * 1024u * 1024u;
};

struct IsolatedResult {
    enum class Outcome {
        Done,          // the work returned; output holds what it returned
        Failed,        // the work threw
        Crashed,       // the child ended by a signal (signal holds it) or a sanitizer's report
        OverLimit,     // out of its memory or processor time
        TimedOut,      // still running at the wall time: killed
        TooMuchOutput  // wrote more than maxOutputBytes: killed
    };
    Outcome outcome = Outcome::Failed;
    int signal = 0;
    std::string output;
};

// Runs work in a child process. The child runs work, and nothing of the program's but what work
// calls; it writes nothing to the program's standard streams, leaves no core file and ends
// without running the program's exit handlers. The calling thread waits for it.
// Throws Error when the child cannot be started.
IsolatedResult RunIsolated(const std::function<std::string()>& work, const IsolationLimits& limits = {});

}  // namespace trelvant
