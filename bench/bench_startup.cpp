// Start-up and kestrow-report as a user meets them. In process: start-up from the data file
// to the main window's first paint (offscreen), with 200 payments. As processes:
// kestrow-report --json on 100,000 payments beside awk reading and summing the same file,
// the floor of reading it at all. The target: the report takes at most twice as long as awk.
// (The time to a visible window under a real display is measured with time-to-window.)

#include "app/appstate.h"
#include "app/startup.h"
#include "bench/benchdata.h"
#include "core/paths.h"
#include "forms/mainwindow.h"
#include "platform/messages.h"
#include "platform/programfolder.h"
#include "platform/systemdate.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using namespace benchdata;

std::filesystem::path WriteFile(const std::string& name, long records)
{
    const auto path = Folder() / name;
    if (!std::filesystem::exists(path))
        std::ofstream(path, std::ios::binary) << GenerateFile(records);
    return path;
}

void StartupToFirstPaint(benchmark::State& state)
{
    EnsureApplication();
    const auto folder = Folder() / "startup";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(WriteFile("startup.txt", state.range(0)),
                               folder / kestrow::kDataFileName,
                               std::filesystem::copy_options::overwrite_existing);
    platform::SetProgramFolderForTesting(QString::fromStdString(folder.string()));
    platform::SetSystemDateForTesting(QStringLiteral("06-15-2026"));
    platform::MessageTestHook::install();
    for (auto _ : state) {
        AppState appState;
        std::unique_ptr<MainWindow> window;
        StartupWindows windows;
        windows.showIntroduction = [] {};
        windows.showMain = [&] {
            window = std::make_unique<MainWindow>(appState);
            window->show();
            benchmark::DoNotOptimize(window->grab());
        };
        if (!Main(appState, windows))
            state.SkipWithError("start-up failed");
    }
    platform::MessageTestHook::uninstall();
    platform::SetProgramFolderForTesting(QString());
    platform::SetSystemDateForTesting(QString());
}

// Runs a command with its output thrown away; false when it did not end well.
bool Run(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return error == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void Report(benchmark::State& state)
{
    const std::string file = WriteFile("report.txt", state.range(0)).string();
    for (auto _ : state) {
        if (!Run({KESTROW_REPORT, "--today", "2026-06-15", "--json", file}))
            state.SkipWithError("kestrow-report failed");
    }
}

void Awk(benchmark::State& state)
{
    const std::string file = WriteFile("report.txt", state.range(0)).string();
    for (auto _ : state) {
        if (!Run({"awk", "-F|", "{gsub(\",\",\"\",$4); s+=$4/$5} END{print s}", file}))
            state.SkipWithError("awk failed");
    }
}

} // namespace

BENCHMARK(StartupToFirstPaint)->ArgName("records")->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(Report)->ArgName("records")->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Awk)->ArgName("records")->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
