// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace bench {

// One measured value, as run.sh writes them: "program kind run key value", e.g.
// "ours start 3 map_ms 41.25". Kinds: start (the alternating runs), idle, master, bin.
struct Record {
    std::string program;
    std::string kind;
    int run = 0;
    std::string key;
    double value = 0;
};

std::optional<Record> ParseRecord(const std::string& line);

struct Summary {
    double min = 0;
    double median = 0; // of an even count: the mean of the middle two
    double max = 0;
    std::size_t count = 0;
};

std::optional<Summary> Summarize(std::vector<double> values);

// Every record of one benchmark run, looked up by program, kind and key.
class Results {
public:
    void Add(const Record& record);
    // Reads every line of `text` that parses; returns how many did not.
    int AddText(const std::string& text);

    // One value per run. Negative raw values mean "could not be read" and are left out.
    std::vector<double> Values(const std::string& program, const std::string& kind,
                               const std::string& key) const;
    // later − earlier within each run that has both readable values.
    std::vector<double> Differences(const std::string& program, const std::string& kind,
                                    const std::string& laterKey,
                                    const std::string& earlierKey) const;

private:
    using Key = std::tuple<std::string, std::string, std::string>; // program, kind, key
    std::map<Key, std::map<int, double>> values_;                  // run -> value
};

// Durations the table's labels and the master's CPU share are computed from.
struct TableSettings {
    int idleSeconds = 60;
    int masterSeconds = 60;
    int masterCpuSeconds = 30;
};

// The Markdown table: one row per measure, one column per program as min / median / max,
// then the ratios of the game's median to each other program's, then the target.
std::string RenderTable(const Results& results, const TableSettings& settings);

} // namespace bench
