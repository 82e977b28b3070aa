// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace bench {

// What /proc says about one process at one moment. -1 marks a value that could not be read.
struct ProcSample {
    std::int64_t rssKb = -1;     // VmRSS from status
    std::int64_t pssKb = -1;     // Pss from smaps_rollup
    std::int64_t ussKb = -1;     // Private_Clean + Private_Dirty from smaps_rollup
    std::int64_t cpuTicks = -1;  // utime + stime from stat: every thread, live or ended
    std::int64_t runtimeNs = -1; // the process's CPU clock in ns: every thread, live or ended
    int sharedLibraries = -1;    // distinct .so files in maps
    int threads = -1;
};

// A "Name:   1234 kB" line of /proc/PID/status or smaps_rollup; the name must match whole.
std::optional<std::int64_t> KbField(const std::string& text, const std::string& name);

// utime + stime of /proc/PID/stat. The command name in parentheses may hold spaces and
// parentheses itself, so the fields are counted from the last ')'.
std::optional<std::int64_t> CpuTicksFromStat(const std::string& statText);

// Distinct shared objects named in /proc/PID/maps ("libfoo.so", "libfoo.so.6.4.2",
// "ld-linux-x86-64.so.2"), a file mapped in several segments counting once.
int CountSharedLibraries(const std::string& mapsText);

// Reads every field of ProcSample for `pid`.
ProcSample ReadProcSample(pid_t pid);

// Milliseconds of CPU time in `ticks` of the kernel's clock.
double TicksToMs(std::int64_t ticks);

} // namespace bench
