// SPDX-License-Identifier: GPL-3.0-or-later
#include "procsample.h"

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

namespace bench {
namespace {

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool IsSharedObjectName(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const std::size_t so = name.find(".so");
    if (so == std::string::npos)
        return false;
    const std::size_t after = so + 3;
    return after == name.size() || name[after] == '.';
}

// The path column of a maps line: everything after the fifth field, or empty.
std::string MappedPath(const std::string& line) {
    std::istringstream fields(line);
    std::string skipped;
    for (int i = 0; i < 5; ++i) {
        if (!(fields >> skipped))
            return {};
    }
    std::string path;
    std::getline(fields >> std::ws, path);
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.erase(path.size() - deleted.size());
    return path;
}

// The kernel's CPU clock of another process: the exact sum of all its threads' run time,
// including threads that have ended, where utime + stime come in 10 ms ticks.
std::int64_t ProcessCpuNs(pid_t pid) {
    clockid_t clock{};
    timespec used{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &used) != 0)
        return -1;
    return static_cast<std::int64_t>(used.tv_sec) * 1000000000 + used.tv_nsec;
}

} // namespace

std::optional<std::int64_t> KbField(const std::string& text, const std::string& name) {
    std::istringstream lines(text);
    std::string line;
    const std::string key = name + ":";
    while (std::getline(lines, line)) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::istringstream value(line.substr(key.size()));
        std::int64_t kb = 0;
        if (value >> kb)
            return kb;
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::int64_t> CpuTicksFromStat(const std::string& statText) {
    const std::size_t close = statText.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    // After ')' come the fields from the 3rd (state) on; utime and stime are the 14th and 15th.
    std::istringstream fields(statText.substr(close + 1));
    std::string field;
    std::int64_t utime = 0;
    std::int64_t stime = 0;
    for (int number = 3; number <= 13; ++number) {
        if (!(fields >> field))
            return std::nullopt;
    }
    if (!(fields >> utime >> stime))
        return std::nullopt;
    return utime + stime;
}

int CountSharedLibraries(const std::string& mapsText) {
    std::set<std::string> libraries;
    std::istringstream lines(mapsText);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string path = MappedPath(line);
        if (!path.empty() && path[0] == '/' && IsSharedObjectName(path))
            libraries.insert(path);
    }
    return static_cast<int>(libraries.size());
}

ProcSample ReadProcSample(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid) + "/";
    ProcSample sample;
    const std::string status = ReadWholeFile(base + "status");
    sample.rssKb = KbField(status, "VmRSS").value_or(-1);
    sample.threads = static_cast<int>(KbField(status, "Threads").value_or(-1));
    const std::string rollup = ReadWholeFile(base + "smaps_rollup");
    sample.pssKb = KbField(rollup, "Pss").value_or(-1);
    const auto privateClean = KbField(rollup, "Private_Clean");
    const auto privateDirty = KbField(rollup, "Private_Dirty");
    if (privateClean && privateDirty)
        sample.ussKb = *privateClean + *privateDirty;
    sample.cpuTicks = CpuTicksFromStat(ReadWholeFile(base + "stat")).value_or(-1);
    const std::string maps = ReadWholeFile(base + "maps");
    sample.sharedLibraries = maps.empty() ? -1 : CountSharedLibraries(maps);

    sample.runtimeNs = ProcessCpuNs(pid);
    return sample;
}

double TicksToMs(std::int64_t ticks) {
    static const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    return ticks * 1000.0 / static_cast<double>(ticksPerSecond);
}

} // namespace bench
