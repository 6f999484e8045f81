// `mediakit verify --manifest` beside `md5sum -c` on the same files in the
// same run: wall time of each process, the ratio between them, and the peak
// memory of the verification, which must not grow with the largest file.
// Run by ./kit bench.
#include "ratio_reporter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const uint64_t mebibyte = 1u << 20;

// The trees compared: what makes a disc slow to check is either a few large
// files (read in chunks above 64 MiB) or many small ones.
struct TreeShape {
    const char* name;
    int files;
    uint64_t fileSize;
};

const TreeShape shapes[] = {
    {"large", 3, 96 * mebibyte},
    {"medium", 12, 16 * mebibyte},
    {"small", 2000, 16 * 1024},
};

fs::path WorkFolder()
{
    static fs::path folder = fs::temp_directory_path() / ("kit-manifest-bench-" + std::to_string(getpid()));
    return folder;
}

void WriteFile(const fs::path& path, uint64_t size, uint32_t seed)
{
    std::vector<char> block(mebibyte);
    std::ofstream out(path, std::ios::binary);
    uint32_t state = seed * 2654435761u + 1;
    for (uint64_t left = size; left > 0;) {
        for (char& c : block) {
            state = state * 1664525u + 1013904223u;
            c = static_cast<char>(state >> 24);
        }
        uint64_t part = left < block.size() ? left : block.size();
        out.write(block.data(), static_cast<std::streamsize>(part));
        left -= part;
    }
}

struct ProcessRun {
    int status = -1;
    double seconds = 0;
    long peakKiB = 0;
};

// Runs argv in folder with its output thrown away; wait4 gives this child's own peak memory.
ProcessRun Run(const std::vector<std::string>& argv, const fs::path& folder)
{
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
    fs::path previous = fs::current_path();
    fs::current_path(folder);
    ProcessRun run;
    auto begin = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ) == 0) {
        struct rusage usage {};
        int status = 0;
        wait4(child, &status, 0, &usage);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKiB = usage.ru_maxrss;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    fs::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// The tree, its manifest made by mediakit and the same digests for md5sum.
const fs::path& Tree(const TreeShape& shape)
{
    static std::map<std::string, fs::path> trees;
    auto found = trees.find(shape.name);
    if (found != trees.end()) {
        return found->second;
    }
    fs::path tree = WorkFolder() / shape.name;
    fs::create_directories(tree / "Data");
    for (int i = 0; i < shape.files; ++i) {
        fs::path folder = i % 2 == 0 ? tree : tree / "Data";
        WriteFile(folder / ("file" + std::to_string(i) + ".bin"), shape.fileSize, static_cast<uint32_t>(i));
    }
    fs::path manifest = WorkFolder() / (std::string(shape.name) + ".md5");
    Run({MEDIAKIT_PATH, "manifest", "build", tree.string(), "-o", manifest.string()}, WorkFolder());
    std::ifstream rows(manifest);
    std::ofstream sums(WorkFolder() / (std::string(shape.name) + ".md5sum"));
    std::string line;
    while (std::getline(rows, line)) {
        size_t tab = line.find('\t');
        std::string path = line.substr(1, tab - 1);
        for (char& c : path) {
            c = c == '\\' ? '/' : c;
        }
        std::string digest = line.substr(tab + 1, 32);
        for (char& c : digest) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        sums << digest << "  " << path << '\n';
    }
    return trees[shape.name] = tree;
}

void Measure(benchmark::State& state, const std::vector<std::string>& argv, const fs::path& folder,
             uint64_t bytes)
{
    long peakKiB = 0;
    for (auto _ : state) {
        ProcessRun run = Run(argv, folder);
        if (run.status != 0) {
            state.SkipWithError("the verification did not pass");
            break;
        }
        peakKiB = run.peakKiB > peakKiB ? run.peakKiB : peakKiB;
        state.SetIterationTime(run.seconds);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
}

void MediakitVerify(benchmark::State& state)
{
    const TreeShape& shape = shapes[state.range(0)];
    const fs::path& tree = Tree(shape);
    Measure(state, {MEDIAKIT_PATH, "verify", tree.string(), "--manifest",
                    (WorkFolder() / (std::string(shape.name) + ".md5")).string()},
            WorkFolder(), shape.files * shape.fileSize);
}

void Md5sumCheck(benchmark::State& state)
{
    const TreeShape& shape = shapes[state.range(0)];
    const fs::path& tree = Tree(shape);
    Measure(state, {"md5sum", "--quiet", "-c", (WorkFolder() / (std::string(shape.name) + ".md5sum")).string()},
            tree, shape.files * shape.fileSize);
}

void Shapes(benchmark::internal::Benchmark* benchmark)
{
    for (int i = 0; i < static_cast<int>(sizeof(shapes) / sizeof(shapes[0])); ++i) {
        benchmark->Arg(i);
    }
}

BENCHMARK(MediakitVerify)->Apply(Shapes)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(Md5sumCheck)->Apply(Shapes)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter("peak_MiB");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::cout << "\nmediakit verify --manifest against md5sum -c on the same files (ratio of times; "
                 "below 1: mediakit is faster)\n";
    for (size_t i = 0; i < sizeof(shapes) / sizeof(shapes[0]); ++i) {
        const TreeShape& shape = shapes[i];
        std::string arg = std::to_string(i);
        double ours = reporter.seconds["MediakitVerify"][arg];
        double theirs = reporter.seconds["Md5sumCheck"][arg];
        std::cout << "  " << std::left << std::setw(7) << shape.name << std::right << std::setw(5)
                  << shape.files << " files of " << std::setw(8) << shape.fileSize / 1024 << " KiB: ";
        if (ours <= 0 || theirs <= 0) {
            std::cout << "not all runs completed\n";
            continue;
        }
        std::cout << std::fixed << std::setprecision(2) << ours / theirs << "x  (mediakit "
                  << ours * 1000 << " ms, md5sum " << theirs * 1000 << " ms; peak memory mediakit "
                  << reporter.counterValues["MediakitVerify"][arg] << " MiB, md5sum "
                  << reporter.counterValues["Md5sumCheck"][arg] << " MiB)\n";
    }
    std::error_code ignored;
    fs::remove_all(WorkFolder(), ignored);
    return 0;
}
