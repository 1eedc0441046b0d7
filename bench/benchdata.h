#pragma once
// The generated data files the benchmarks share, in one folder of the run's own.

#include "core/numfmt.h"

#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

namespace benchdata {

// A file as people keep them: mostly periods of 1 to 36 months, some of ten and twenty
// years, dates from six years back to three years ahead, amounts from a few dollars to a
// few thousand, names of varying length.
inline std::string GenerateFile(long records)
{
    static const char* const kNames[] = {"Car insurance", "Rent",       "Netflix",   "Gym",
                                         "Property tax",  "Water",      "Dentist",   "Holiday",
                                         "Roof repairs",  "Union dues", "Christmas", "Boiler"};
    static const char* const kTypes[] = {"Sub", "Mem", "SG", "Ins", "Tax", "U"};
    std::mt19937 random(static_cast<unsigned>(records));
    std::uniform_int_distribution<int> pick(0, 999);
    std::string file;
    for (long i = 0; i < records; ++i) {
        const int kind = pick(random);
        int duration = 1 + pick(random) % 36;
        if (kind < 30)
            duration = 120;
        else if (kind < 40)
            duration = 240;
        const int year = 2020 + pick(random) % 10;
        const int month = 1 + pick(random) % 12;
        const int day = 1 + pick(random) % 28;
        const double amount = (5 + pick(random) * 5 + pick(random)) / (kind % 3 == 0 ? 1.0 : 7.0);
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, month, day);
        file += std::string(kNames[pick(random) % 12]) + " " + std::to_string(i) + "|" +
                kTypes[pick(random) % 6] + "|" + date + "|" + kestrow::FormatAmount(amount) + "|" +
                std::to_string(duration) + "\r\n";
    }
    return file;
}

inline std::filesystem::path Folder()
{
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("kestrow-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

inline void EnsureApplication()
{
    if (QApplication::instance() != nullptr)
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kestrow-bench";
    static char* argv[] = {name, nullptr};
    // Never destroyed: a QApplication torn down among the static objects at exit crashes
    // in the platform plugin, and the process ends right after the benchmarks anyway.
    new QApplication(argc, argv);
}

} // namespace benchdata
