// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// The program under measurement. The child stamps the monotonic clock into a page shared
// with the parent just before execve, so a measured interval covers the exec itself, the
// dynamic loader and everything after it. Ends the program when it goes out of scope.
class ChildProcess {
public:
    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (looked up in PATH beforehand when it has no '/') with the current
    // environment, in a process group of its own; its output goes to `logPath`. Returns once
    // the program runs, or false with the reason when it cannot be started.
    bool Start(const std::vector<std::string>& argv, const std::string& logPath,
               std::string* error);

    pid_t Pid() const { return pid_; }
    // CLOCK_MONOTONIC just before execve, in ns.
    std::int64_t ExecNs() const;
    // True once the child has ended (it is then reaped); `status` gets its wait status.
    bool HasExited(int* status = nullptr);
    // SIGTERM to the program's process group, up to two seconds to end, then SIGKILL.
    void Stop();

private:
    struct SharedStamp;
    SharedStamp* stamp_ = nullptr;
    pid_t pid_ = -1;
    bool reaped_ = false;
    int waitStatus_ = 0;
};

} // namespace bench
