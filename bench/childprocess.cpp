// SPDX-License-Identifier: GPL-3.0-or-later
#include "childprocess.h"

#include "monoclock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>

extern char** environ;

namespace bench {

struct ChildProcess::SharedStamp {
    std::atomic<std::int64_t> execNs{0};
};

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The PATH lookup happens here, in the parent, so the child's stamp is followed directly
// by the one execve that succeeds.
std::string ResolveProgram(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (IsExecutableFile(candidate))
            return candidate;
    }
    return name;
}

// `report` closes by itself when execve succeeds; on failure the child writes errno into it.
[[noreturn]] void RunChild(const std::string& program, const std::vector<char*>& argv,
                           const std::string& logPath, std::atomic<std::int64_t>& execNs,
                           int report) {
    // A measurer that dies must not leave the program running on the display.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    setpgid(0, 0);
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (log >= 0) {
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
    }
    if (devNull >= 0)
        dup2(devNull, STDIN_FILENO);
    execNs.store(MonotonicNs());
    execve(program.c_str(), argv.data(), environ);
    const int failure = errno;
    [[maybe_unused]] const ssize_t written = write(report, &failure, sizeof failure);
    _exit(127);
}

} // namespace

ChildProcess::ChildProcess() {
    void* page = mmap(nullptr, sizeof(SharedStamp), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page != MAP_FAILED)
        stamp_ = new (page) SharedStamp; // lives in the page; ended in the destructor
}

ChildProcess::~ChildProcess() {
    Stop();
    if (stamp_) {
        stamp_->~SharedStamp();
        munmap(stamp_, sizeof(SharedStamp));
    }
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& logPath,
                         std::string* error) {
    if (!stamp_ || argv.empty()) {
        *error = !stamp_ ? "cannot map the shared page" : "no command";
        return false;
    }
    const std::string program = ResolveProgram(argv[0]);
    std::vector<std::string> args = argv;
    std::vector<char*> pointers;
    for (std::string& arg : args)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    stamp_->execNs.store(0);
    pid_ = fork();
    if (pid_ < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (pid_ == 0) {
        close(report[0]);
        RunChild(program, pointers, logPath, stamp_->execNs, report[1]);
    }
    close(report[1]);
    // Returns at the successful execve (end of file) or with the child's errno.
    int failure = 0;
    ssize_t got = 0;
    do {
        got = read(report[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof failure)) {
        waitpid(pid_, &waitStatus_, 0);
        reaped_ = true;
        *error = "cannot run " + program + ": " + std::strerror(failure);
        return false;
    }
    return true;
}

std::int64_t ChildProcess::ExecNs() const {
    return stamp_ ? stamp_->execNs.load() : 0;
}

bool ChildProcess::HasExited(int* status) {
    if (pid_ <= 0)
        return true;
    if (!reaped_ && waitpid(pid_, &waitStatus_, WNOHANG) == pid_)
        reaped_ = true;
    if (reaped_ && status)
        *status = waitStatus_;
    return reaped_;
}

void ChildProcess::Stop() {
    if (pid_ <= 0 || HasExited())
        return;
    // The whole process group: some programs start helpers of their own.
    kill(-pid_, SIGTERM);
    for (int waited = 0; waited < 200 && !HasExited(); ++waited)
        usleep(10000);
    if (!HasExited()) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, &waitStatus_, 0);
        reaped_ = true;
    }
}

} // namespace bench
