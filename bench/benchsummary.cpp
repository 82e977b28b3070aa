// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchsummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace bench {
namespace {

struct Program {
    const char* id;
    const char* title;
};

// The game first; every ratio is the game's median over another program's.
constexpr Program kPrograms[] = {
    {"ours", "Сдвигуль"},
    {"sgt", "sgt-fifteen"},
    {"taquin", "gnome-taquin"},
    {"bare", "bare Qt 6 window"},
    {"barescroll", "bare Qt 6 window scrolling its title"},
};
constexpr const char* kOurs = "ours";
constexpr const char* kBestPeer = "sgt";

// How a row's game median is judged.
struct Target {
    enum Kind { None, RatioToBestPeerAtMost, AtMost, Below } kind = None;
    double limit = 0;
    const char* text = "";
};

struct Row {
    std::string label;
    std::string kind;
    std::string key;
    std::string minusKey; // when set, the row is key − minusKey within each run
    double scale = 1;
    int decimals = 1;
    bool ratios = true;
    Target target;
};

std::string Format(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::vector<Row> Rows(const TableSettings& s) {
    const std::string idle = std::to_string(s.idleSeconds) + " s idle";
    const std::string master = std::to_string(s.masterSeconds) + " s of the move master";
    const std::string masterCpu = std::to_string(s.masterCpuSeconds) + " s with the master running";
    const double coreShare = 100.0 / (s.masterCpuSeconds * 1000.0);
    const double mb = 1.0 / 1024.0;
    const Target mapTarget{Target::RatioToBestPeerAtMost, 0.8, "≤ 0.8 × sgt-fifteen"};
    const Target pssTarget{Target::RatioToBestPeerAtMost, 1.0, "≤ 1.0 × sgt-fifteen"};
    // The idle limit is 30 ms a minute; a shorter window (the quick run) gets its share.
    const Target idleTarget{Target::AtMost, 30.0 * s.idleSeconds / 60.0, "≤ 30 ms per 60 s"};
    const Target masterTarget{Target::Below, 1.0, "< 1 %"};
    const Target growthTarget{Target::AtMost, 1.0, "≤ 1 MB"};
    // Ratios are left out where the peers' values are near zero or not measured at all.
    // clang-format off
    return {
        {"exec → window mapped, ms", "start", "map_ms", "", 1, 1, true, mapTarget},
        {"exec → board painted, ms", "start", "frame_ms", "", 1, 1, true, {}},
        {"CPU in the first 2 s, ms", "start", "s2.cpu_ms", "", 1, 0, true, {}},
        {"VmRSS 2 s after start, board shown, MB", "start", "s2.rss_kb", "", mb, 1, true, {}},
        {"Pss 2 s after start, board shown, MB", "start", "s2.pss_kb", "", mb, 1, true, pssTarget},
        {"USS (private) 2 s after start, board shown, MB", "start", "s2.uss_kb", "", mb, 1, true, {}},
        {"VmRSS 2 s after start, untouched, MB", "idle", "s2.rss_kb", "", mb, 1, true, {}},
        {"Pss 2 s after start, untouched, MB", "idle", "s2.pss_kb", "", mb, 1, true, {}},
        {"CPU over " + idle + " (utime+stime), ms", "idle", "end.cpu_ms", "s2.cpu_ms", 1, 0, false, {}},
        {"CPU over " + idle + " (CPU clock), ms", "idle", "end.runtime_ms", "s2.runtime_ms", 1, 1, false, idleTarget},
        {"repaints over " + idle, "idle", "end.repaints", "s2.repaints", 1, 0, false, {}},
        {"CPU over " + masterCpu + " (utime+stime), ms", "master", "end.cpu_ms", "cpu0.cpu_ms", 1, 0, false, {}},
        {"… as % of one core", "master", "end.cpu_ms", "cpu0.cpu_ms", coreShare, 2, false, masterTarget},
        {"repaints over " + masterCpu, "master", "end.repaints", "cpu0.repaints", 1, 0, false, {}},
        {"VmRSS after " + master + " − 2 s after start, MB", "master", "end.rss_kb", "s2.rss_kb", mb, 2, false, growthTarget},
        {"Pss after " + master + " − 2 s after start, MB", "master", "end.pss_kb", "s2.pss_kb", mb, 2, false, {}},
        {"VmRSS after " + master + " − 2 s into it, MB", "master", "end.rss_kb", "m2.rss_kb", mb, 2, false, {}},
        {"shared libraries mapped", "start", "s2.libs", "", 1, 0, true, {}},
        {"threads", "start", "s2.threads", "", 1, 0, true, {}},
        {"binary file, KB", "bin", "file_kb", "", 1, 0, true, {}},
        {"binary stripped, KB", "bin", "stripped_kb", "", 1, 0, true, {}},
        {"text+data+bss (size), KB", "bin", "size_kb", "", 1, 0, true, {}},
    };
    // clang-format on
}

std::optional<Summary> RowSummary(const Results& results, const Row& row, const char* program) {
    std::vector<double> values =
        row.minusKey.empty() ? results.Values(program, row.kind, row.key)
                             : results.Differences(program, row.kind, row.key, row.minusKey);
    for (double& v : values)
        v *= row.scale;
    return Summarize(std::move(values));
}

std::string Cell(const std::optional<Summary>& summary, int decimals) {
    if (!summary)
        return "–";
    if (summary->count == 1 || summary->min == summary->max)
        return Format(summary->median, decimals);
    return Format(summary->min, decimals) + " / " + Format(summary->median, decimals) + " / " +
           Format(summary->max, decimals);
}

std::optional<double> Ratio(const std::optional<Summary>& ours,
                            const std::optional<Summary>& other) {
    if (!ours || !other || other->median <= 0)
        return std::nullopt;
    return ours->median / other->median;
}

std::string Verdict(const Row& row, const std::optional<Summary>& ours,
                    const std::optional<double>& ratioToBestPeer) {
    const Target& t = row.target;
    if (t.kind == Target::None)
        return "";
    std::optional<double> judged;
    if (t.kind == Target::RatioToBestPeerAtMost)
        judged = ratioToBestPeer;
    else if (ours)
        judged = ours->median;
    if (!judged)
        return std::string(t.text) + ": not measured";
    const bool met = t.kind == Target::Below ? *judged < t.limit : *judged <= t.limit;
    return std::string(t.text) + (met ? ": met" : ": **missed**");
}

} // namespace

std::optional<Record> ParseRecord(const std::string& line) {
    std::istringstream fields(line);
    Record record;
    std::string value;
    if (!(fields >> record.program >> record.kind >> record.run >> record.key >> value))
        return std::nullopt;
    std::string extra;
    if (fields >> extra)
        return std::nullopt;
    std::size_t used = 0;
    try {
        record.value = std::stod(value, &used);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (used != value.size() || !std::isfinite(record.value))
        return std::nullopt;
    return record;
}

std::optional<Summary> Summarize(std::vector<double> values) {
    if (values.empty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    Summary s;
    s.count = n;
    s.min = values.front();
    s.max = values.back();
    s.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    return s;
}

void Results::Add(const Record& record) {
    values_[{record.program, record.kind, record.key}][record.run] = record.value;
}

int Results::AddText(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    int rejected = 0;
    while (std::getline(lines, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        if (const auto record = ParseRecord(line))
            Add(*record);
        else
            ++rejected;
    }
    return rejected;
}

std::vector<double> Results::Values(const std::string& program, const std::string& kind,
                                    const std::string& key) const {
    std::vector<double> out;
    const auto found = values_.find({program, kind, key});
    if (found == values_.end())
        return out;
    for (const auto& [run, value] : found->second) {
        if (value >= 0)
            out.push_back(value);
    }
    return out;
}

std::vector<double> Results::Differences(const std::string& program, const std::string& kind,
                                         const std::string& laterKey,
                                         const std::string& earlierKey) const {
    std::vector<double> out;
    const auto later = values_.find({program, kind, laterKey});
    const auto earlier = values_.find({program, kind, earlierKey});
    if (later == values_.end() || earlier == values_.end())
        return out;
    for (const auto& [run, value] : later->second) {
        const auto partner = earlier->second.find(run);
        if (partner != earlier->second.end() && value >= 0 && partner->second >= 0)
            out.push_back(value - partner->second);
    }
    return out;
}

std::string RenderTable(const Results& results, const TableSettings& settings) {
    std::ostringstream out;
    out << "| measure (min / median / max) |";
    for (const Program& p : kPrograms)
        out << ' ' << p.title << " |";
    for (const Program& p : kPrograms) {
        if (p.id != std::string(kOurs))
            out << " ours ÷ " << p.title << " |";
    }
    out << " target |\n|---|";
    for (std::size_t i = 0; i < 2 * std::size(kPrograms) - 1; ++i)
        out << "---:|";
    out << "---|\n";

    for (const Row& row : Rows(settings)) {
        const std::optional<Summary> ours = RowSummary(results, row, kOurs);
        std::optional<double> ratioToBestPeer;
        out << "| " << row.label << " |";
        for (const Program& p : kPrograms)
            out << ' ' << Cell(RowSummary(results, row, p.id), row.decimals) << " |";
        for (const Program& p : kPrograms) {
            if (p.id == std::string(kOurs))
                continue;
            const std::optional<double> ratio =
                row.ratios ? Ratio(ours, RowSummary(results, row, p.id)) : std::nullopt;
            if (p.id == std::string(kBestPeer))
                ratioToBestPeer = ratio;
            out << ' ' << (ratio ? Format(*ratio, 2) : std::string("–")) << " |";
        }
        out << ' ' << Verdict(row, ours, ratioToBestPeer) << " |\n";
    }
    return out.str();
}

} // namespace bench
