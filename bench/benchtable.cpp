// SPDX-License-Identifier: GPL-3.0-or-later
// benchtable: reads the measurements run.sh collected and prints the Markdown table.
//   benchtable [--idle-s N] [--master-s N] [--master-cpu-s N] RESULTS
#include "benchsummary.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    bench::TableSettings settings;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        int* target = arg == "--idle-s"         ? &settings.idleSeconds
                      : arg == "--master-s"     ? &settings.masterSeconds
                      : arg == "--master-cpu-s" ? &settings.masterCpuSeconds
                                                : nullptr;
        if (target && i + 1 < argc)
            *target = std::atoi(argv[++i]);
        else if (!target && path.empty())
            path = arg;
        else {
            std::fprintf(stderr, "usage: benchtable [--idle-s N] [--master-s N] "
                                 "[--master-cpu-s N] RESULTS\n");
            return 2;
        }
    }
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "benchtable: cannot read %s\n", path.c_str());
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    bench::Results results;
    if (const int rejected = results.AddText(text.str()))
        std::fprintf(stderr, "benchtable: %d malformed lines skipped\n", rejected);
    std::cout << bench::RenderTable(results, settings);
    return 0;
}
