// SPDX-License-Identifier: GPL-3.0-or-later
// mapwait: starts a program on the X display and measures it from the moment just before its
// execve: when its first top-level window is mapped, when the window first shows the picture
// it settles on (the board), and what /proc says about it at given times.
//
//   mapwait [options] -- program [arguments]
//     --log FILE          the program's output (default /dev/null)
//     --timeout-ms N      give up when no window is mapped by then (default 15000)
//     --focus             give the window the keyboard focus as soon as it is mapped
//     --on-map KEYS       type KEYS ("F2", "ctrl+F3") as soon as the window is mapped
//     --frame             watch the window's contents; report frame_ms
//     --settle-ms N       the picture counts as settled after N ms without drawing (500)
//     --not-board HASH    a settled picture with this hash means the board never appeared
//     --dump DIR          write every frame read to DIR as PPM (slows the run; for checking)
//     --at MS keys:KEYS   type KEYS at MS after exec
//     --at MS sample:NAME read /proc at MS after exec, reported as NAME.*
//
// Prints key=value lines; exits 1 when the program does not map a window, ends early, or
// never shows its board.

#include "childprocess.h"
#include "monoclock.h"
#include "procsample.h"
#include "xwatcher.h"

#include <poll.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using bench::NsToMs;

constexpr std::int64_t kNsPerMs = 1000000;

struct Action {
    std::int64_t atMs = 0;
    bool isSample = false;
    std::string argument; // the keys, or the sample's name
    bool done = false;
};

struct Options {
    std::vector<std::string> command;
    std::string logPath = "/dev/null";
    std::int64_t timeoutMs = 15000;
    bool focusOnMap = false;
    std::vector<std::string> keysOnMap;
    bool watchFrames = false;
    std::int64_t settleMs = 500;
    std::optional<std::uint64_t> notBoardHash;
    std::string dumpDirectory;
    std::vector<Action> actions;
};

bool ParseAction(const std::string& at, const std::string& what, Action* action) {
    char* end = nullptr;
    action->atMs = std::strtoll(at.c_str(), &end, 10);
    if (end == at.c_str() || *end != '\0' || action->atMs < 0)
        return false;
    const std::size_t colon = what.find(':');
    if (colon == std::string::npos || colon + 1 == what.size())
        return false;
    const std::string kind = what.substr(0, colon);
    if (kind != "keys" && kind != "sample")
        return false;
    action->isSample = kind == "sample";
    action->argument = what.substr(colon + 1);
    return true;
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    int i = 1;
    auto value = [&](const char* option) -> const char* {
        if (i + 1 >= argc) {
            *error = std::string(option) + " needs a value";
            return nullptr;
        }
        return argv[++i];
    };
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* v = nullptr;
        if (arg == "--") {
            ++i;
            break;
        } else if (arg == "--focus") {
            options->focusOnMap = true;
        } else if (arg == "--frame") {
            options->watchFrames = true;
        } else if (arg == "--log" || arg == "--timeout-ms" || arg == "--on-map" ||
                   arg == "--settle-ms" || arg == "--not-board" || arg == "--dump") {
            if (!(v = value(arg.c_str())))
                return false;
            if (arg == "--log")
                options->logPath = v;
            else if (arg == "--timeout-ms")
                options->timeoutMs = std::atoll(v);
            else if (arg == "--settle-ms")
                options->settleMs = std::atoll(v);
            else if (arg == "--dump")
                options->dumpDirectory = v;
            else if (arg == "--on-map")
                options->keysOnMap.emplace_back(v);
            else
                options->notBoardHash = std::strtoull(v, nullptr, 16);
        } else if (arg == "--at") {
            if (i + 2 >= argc) {
                *error = "--at needs a time and an action";
                return false;
            }
            Action action;
            if (!ParseAction(argv[i + 1], argv[i + 2], &action)) {
                *error = std::string("bad action: --at ") + argv[i + 1] + " " + argv[i + 2];
                return false;
            }
            options->actions.push_back(action);
            i += 2;
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    for (; i < argc; ++i)
        options->command.emplace_back(argv[i]);
    if (options->command.empty()) {
        *error = "no program given after --";
        return false;
    }
    return true;
}

void PrintSample(const std::string& name, double atMs, const bench::ProcSample& sample,
                 std::uint64_t repaints) {
    std::printf("%s.at_ms=%.3f\n", name.c_str(), atMs);
    std::printf("%s.rss_kb=%" PRId64 "\n", name.c_str(), sample.rssKb);
    std::printf("%s.pss_kb=%" PRId64 "\n", name.c_str(), sample.pssKb);
    std::printf("%s.uss_kb=%" PRId64 "\n", name.c_str(), sample.ussKb);
    std::printf("%s.cpu_ms=%.0f\n", name.c_str(),
                sample.cpuTicks < 0 ? -1.0 : bench::TicksToMs(sample.cpuTicks));
    std::printf("%s.runtime_ms=%.3f\n", name.c_str(),
                sample.runtimeNs < 0 ? -1.0 : NsToMs(sample.runtimeNs));
    std::printf("%s.libs=%d\n", name.c_str(), sample.sharedLibraries);
    std::printf("%s.threads=%d\n", name.c_str(), sample.threads);
    std::printf("%s.repaints=%" PRIu64 "\n", name.c_str(), repaints);
}

// The whole measured run of one program.
class Run {
public:
    explicit Run(Options options) : options_(std::move(options)) {}

    int Execute() {
        std::string error;
        if (!watcher_.Connect(&error) || !child_.Start(options_.command, options_.logPath, &error))
            return Fail(error);
        watcher_.SetGrabFrames(options_.watchFrames);
        watcher_.SetDumpDirectory(options_.dumpDirectory);
        execNs_ = child_.ExecNs();
        while (!Finished()) {
            if (!Step(&error))
                return Fail(error);
        }
        return Report();
    }

private:
    std::int64_t SinceExecNs() const { return bench::MonotonicNs() - execNs_; }

    bool Step(std::string* error) {
        if (child_.HasExited()) {
            *error = "the program ended after " + std::to_string(SinceExecNs() / kNsPerMs) + " ms";
            return false;
        }
        if (watcher_.ConnectionBroken()) {
            *error = "lost the X connection";
            return false;
        }
        if (!watcher_.Mapped() && SinceExecNs() > options_.timeoutMs * kNsPerMs) {
            *error = "no window mapped within " + std::to_string(options_.timeoutMs) + " ms";
            return false;
        }
        if (options_.watchFrames && !settled_ &&
            SinceExecNs() > 2 * options_.timeoutMs * kNsPerMs) {
            *error = "the window never settled on a picture";
            return false;
        }
        if (watcher_.Mapped() && !mapHandled_ && !HandleMap(error))
            return false;
        if (!RunDueActions(error))
            return false;
        CheckSettled();
        if (Finished())
            return true;
        pollfd fd{watcher_.FileDescriptor(), POLLIN, 0};
        poll(&fd, 1, NextWakeMs());
        watcher_.ProcessEvents();
        return true;
    }

    bool HandleMap(std::string* error) {
        mapHandled_ = true;
        if (options_.focusOnMap)
            watcher_.Focus();
        for (const std::string& keys : options_.keysOnMap) {
            if (!watcher_.SendKeys(keys, error))
                return false;
        }
        lastKeysNs_ = bench::MonotonicNs();
        return true;
    }

    bool RunDueActions(std::string* error) {
        const std::int64_t since = SinceExecNs();
        for (Action& action : options_.actions) {
            if (action.done || since < action.atMs * kNsPerMs)
                continue;
            if (action.isSample) {
                samples_.push_back({action.argument, NsToMs(since),
                                    bench::ReadProcSample(child_.Pid()), watcher_.DamageCount()});
            } else {
                if (!watcher_.Mapped())
                    continue; // keys need the window; they go as soon as it is there
                if (!watcher_.SendKeys(action.argument, error))
                    return false;
                lastKeysNs_ = bench::MonotonicNs();
            }
            action.done = true;
        }
        return true;
    }

    // The picture is settled once nothing has been drawn for settle-ms after the last keys.
    void CheckSettled() {
        if (!options_.watchFrames || settled_ || !mapHandled_ || watcher_.Frames().empty())
            return;
        const std::int64_t quietSince = std::max(watcher_.LastDamageNs(), lastKeysNs_);
        if (bench::MonotonicNs() - quietSince < options_.settleMs * kNsPerMs)
            return;
        settled_ = true;
        settledFrames_ = watcher_.Frames();
    }

    bool Finished() const {
        const bool actionsDone = std::all_of(options_.actions.begin(), options_.actions.end(),
                                             [](const Action& a) { return a.done; });
        return mapHandled_ && actionsDone && (!options_.watchFrames || settled_);
    }

    int NextWakeMs() const {
        std::int64_t wakeNs = SinceExecNs() + 50 * kNsPerMs;
        for (const Action& action : options_.actions) {
            if (!action.done)
                wakeNs = std::min(wakeNs, action.atMs * kNsPerMs);
        }
        const std::int64_t waitNs = wakeNs - SinceExecNs();
        return static_cast<int>(std::clamp<std::int64_t>(waitNs / kNsPerMs + 1, 1, 50));
    }

    int Report() {
        std::printf("map_ms=%.3f\n", NsToMs(watcher_.MapNs() - execNs_));
        int status = 0;
        if (options_.watchFrames)
            status = ReportFrames();
        for (const Sample& s : samples_)
            PrintSample(s.name, s.atMs, s.proc, s.repaints);
        std::fflush(stdout);
        return status;
    }

    int ReportFrames() {
        const std::uint64_t final = settledFrames_.back().hash;
        std::printf("final_hash=%016" PRIx64 "\n", final);
        std::printf("frames=%zu\n", settledFrames_.size());
        if (options_.notBoardHash && final == *options_.notBoardHash) {
            std::fprintf(stderr, "mapwait: the board never appeared (the window settled on its "
                                 "untouched picture)\n");
            return 1;
        }
        const auto first = std::find_if(settledFrames_.begin(), settledFrames_.end(),
                                        [final](const bench::Frame& f) { return f.hash == final; });
        std::printf("frame_ms=%.3f\n", NsToMs(first->ns - execNs_));
        return 0;
    }

    int Fail(const std::string& error) {
        std::fprintf(stderr, "mapwait: %s\n", error.c_str());
        return 1;
    }

    struct Sample {
        std::string name;
        double atMs;
        bench::ProcSample proc;
        std::uint64_t repaints;
    };

    Options options_;
    bench::XWatcher watcher_;
    bench::ChildProcess child_;
    std::int64_t execNs_ = 0;
    std::int64_t lastKeysNs_ = 0;
    bool mapHandled_ = false;
    bool settled_ = false;
    std::vector<bench::Frame> settledFrames_;
    std::vector<Sample> samples_;
};

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "mapwait: %s\n", error.c_str());
        return 2;
    }
    return Run(std::move(options)).Execute();
}
