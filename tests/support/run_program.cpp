#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;

Clock::time_point secondsFromNow(double seconds) {
    return Clock::now() +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

int millisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void recordEnd(ProgramRun& run, int status) {
    run.exited = true;
    if (WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
}
}  // namespace

ProgramRun runProgram(const std::string& workDir, double timeLimitSeconds,
                      const std::string& settleAfter, double settleSeconds) {
    ProgramRun run;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return run;
    const pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return run;
    }
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        if (chdir(workDir.c_str()) == 0)
            execl(FRIMEL_BINARY, "frimel", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);

    Clock::time_point deadline = secondsFromNow(timeLimitSeconds);
    bool settling = false;
    char buffer[4096];
    for (;;) {
        pollfd readable = {pipeFds[0], POLLIN, 0};
        const int ready = poll(&readable, 1, millisecondsUntil(deadline));
        if (ready <= 0) break;  // time is up
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0) break;  // the program closed its output: it has ended
        run.output.append(buffer, static_cast<size_t>(got));
        if (!settling && !settleAfter.empty() && endsWith(run.output, settleAfter)) {
            settling = true;
            const Clock::time_point settled = secondsFromNow(settleSeconds);
            if (settled < deadline) deadline = settled;
        }
    }
    close(pipeFds[0]);

    // It may still be tearing down after closing its output; give it until the deadline.
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            recordEnd(run, status);
            return run;
        }
        if (millisecondsUntil(deadline) == 0) break;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return run;
}

namespace {
std::string readWhole(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t got, at = 0; (got = pread(fd, buffer, sizeof buffer, at)) > 0; at += got) text.append(buffer, got);
    close(fd);
    return text;
}
}  // namespace

ToolRun runTool(const std::string& program, const std::vector<std::string>& args, unsigned long long addressSpace,
                unsigned long long fileSize) {
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // Its output goes to files in memory, read once it has ended.
    const int output = memfd_create("tool-output", MFD_CLOEXEC);
    const int errors = memfd_create("tool-errors", MFD_CLOEXEC);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(output, STDOUT_FILENO);
        dup2(errors, STDERR_FILENO);
        const rlimit space = {addressSpace, addressSpace}, size = {fileSize, fileSize};
        if (addressSpace != 0) setrlimit(RLIMIT_AS, &space);
        if (fileSize != 0) setrlimit(RLIMIT_FSIZE, &size);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ToolRun run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
    run.output = readWhole(output);
    run.errors = readWhole(errors);
    return run;
}
