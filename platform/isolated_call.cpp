#include "platform/isolated_call.h"

#include "platform/error.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <cstdlib>
#include <new>
#include <poll.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// A sanitizer's report in the child would otherwise run the death callback that a fuzzer or a
// test harness set for the program; the child clears it. Absent from builds without sanitizers.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace trelvant {
namespace {

// The child's own exit statuses.
constexpr int kThrew = 120;
constexpr int kOutOfMemory = 121;
constexpr int kWriteFailed = 122;

// The address space the process holds now, from /proc; 0 when it cannot be told.
std::uint64_t AddressSpaceNow()
{
    const int file = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (file < 0) return 0;
    char text[128];
    const ssize_t got = read(file, text, sizeof text - 1);
    close(file);
    if (got <= 0) return 0;
    text[got] = '\0';
    const long page = sysconf(_SC_PAGESIZE);
    return std::strtoull(text, nullptr, 10) * static_cast<std::uint64_t>(page > 0 ? page : 4096);
}

void Limit(int resource, rlim_t value)
{
    rlimit limit{value, value};
    setrlimit(resource, &limit);
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

[[noreturn]] void RunChild(const std::function<std::string()>& work, const IsolationLimits& limits, int out)
{
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(nullptr);
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGXCPU, SIGPIPE, SIGALRM, SIGINT, SIGTERM})
        std::signal(signal, SIG_DFL);
    // Nothing of the child reaches the program's terminal or log.
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
    }
    Limit(RLIMIT_CORE, 0);
    Limit(RLIMIT_CPU, limits.cpuSeconds);
    if (const std::uint64_t now = AddressSpaceNow(); now > 0) Limit(RLIMIT_AS, now + limits.memoryBytes);

    int status = 0;
    try {
        if (!WriteAll(out, work())) status = kWriteFailed;
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    } catch (...) {
        status = kThrew;
    }
    _exit(status);
}

}  // namespace

IsolatedResult RunIsolated(const std::function<std::string()>& work, const IsolationLimits& limits)
{
    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0) throw Error(std::string("Unable to start a reading process: ") + std::strerror(errno));
    // Buffered output would be written twice, once by each process.
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(pipe[0]);
        close(pipe[1]);
        throw Error(std::string("Unable to start a reading process: ") + std::strerror(error));
    }
    if (child == 0) {
        close(pipe[0]);
        RunChild(work, limits, pipe[1]);
    }
    close(pipe[1]);

    IsolatedResult result;
    bool killed = false;
    const auto deadline = std::chrono::steady_clock::now() + limits.wallTime;
    char chunk[64 * 1024];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.outcome = IsolatedResult::Outcome::TimedOut;
            killed = true;
            break;
        }
        pollfd wait{pipe[0], POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) continue;
        const ssize_t got = read(pipe[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // the child closed its end: it has ended
        if (result.output.size() + static_cast<std::size_t>(got) > limits.maxOutputBytes) {
            result.outcome = IsolatedResult::Outcome::TooMuchOutput;
            killed = true;
            break;
        }
        result.output.append(chunk, static_cast<std::size_t>(got));
    }
    close(pipe[0]);
    if (killed) kill(child, SIGKILL);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (killed) {
        result.output.clear();
        return result;
    }
    if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        result.outcome = result.signal == SIGXCPU || result.signal == SIGKILL ? IsolatedResult::Outcome::OverLimit
                                                                               : IsolatedResult::Outcome::Crashed;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        result.outcome = IsolatedResult::Outcome::Done;
        return result;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemory) {
        result.outcome = IsolatedResult::Outcome::OverLimit;
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kThrew) {
        result.outcome = IsolatedResult::Outcome::Failed;
    } else {
        result.outcome = IsolatedResult::Outcome::Crashed;  // a sanitizer's report ends the child so
    }
    result.output.clear();
    return result;
}

}  // namespace trelvant
