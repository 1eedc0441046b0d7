// The main window's refresh as navigation runs it: empty the due list, read the data
// file, compute, fill the list in its sorted order, label and draw the chart. The target:
// under 16 ms (one frame) with 10,000 records that are all due in the displayed month.

#include "app/appstate.h"
#include "bench/benchdata.h"
#include "core/paths.h"
#include "forms/mainwindow.h"

#include <QApplication>
#include <QListWidget>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using namespace benchdata;

// Monthly payments dated in the last few months: every one of them is due now. Names
// mix upper and lower case so the case-insensitive order has work to do.
std::filesystem::path DueFile(long records)
{
    static const char* const kNames[] = {"rent",    "Water", "gym",   "Netflix",
                                         "Dentist", "union", "Phone", "bus pass"};
    const auto folder =
        std::filesystem::temp_directory_path() /
        ("kestrow-bench-refresh-" + std::to_string(::getpid()) + "-" + std::to_string(records));
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / kestrow::kDataFileName, std::ios::binary | std::ios::trunc);
    for (long i = 0; i < records; ++i) {
        char date[16];
        std::snprintf(date, sizeof date, "2026-%02ld-%02ld", 3 + i % 4, 1 + (i * 7) % 28);
        out << kNames[i % 8] << ' ' << (i * 7919) % records << "|Sub|" << date << '|' << 5 + i % 300
            << ".50|1\r\n";
    }
    return folder;
}

struct Window
{
    std::filesystem::path folder;
    AppState appState;
    std::unique_ptr<MainWindow> main;

    explicit Window(long records)
    {
        EnsureApplication();
        folder = DueFile(records);
        appState.setToday("2026-06-15", 6);
        static_cast<void>(appState.openData((folder / kestrow::kDataFileName).string(),
                                            (folder / kestrow::kScratchFileName).string()));
        main = std::make_unique<MainWindow>(appState);
        main->show();
        QApplication::processEvents();
    }
    ~Window()
    {
        main.reset();
        std::filesystem::remove_all(folder);
    }
};

void Refresh(benchmark::State& state)
{
    Window window(state.range(0));
    if (window.main->lstDue->count() != state.range(0)) {
        state.SkipWithError("not every record is due");
        return;
    }
    for (auto _ : state) {
        window.main->lstDue->clear();
        window.main->Form_Load();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same, and the window painted as the screen would show it afterwards.
void RefreshAndPaint(benchmark::State& state)
{
    Window window(state.range(0));
    for (auto _ : state) {
        window.main->lstDue->clear();
        window.main->Form_Load();
        window.main->repaint();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(Refresh)->ArgName("due")->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(RefreshAndPaint)->ArgName("due")->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
