// Listing the pictures of a folder (what every Previous and Next does)
// against a bare read of the same folder's names.
#include "formats/folderlist.h"

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

// A folder of `count` files, one in twenty a picture, the rest documents.
const std::string& Folder(int count)
{
    static std::map<int, std::string> folders;
    auto it = folders.find(count);
    if (it != folders.end())
        return it->second;
    char pattern[] = "/tmp/korvex-bench-folder-XXXXXX";
    std::string dir = mkdtemp(pattern);
    char name[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, i % 20 == 0 ? "/photo %d.JPG" : "/notes %d.txt", i);
        std::FILE* f = std::fopen((dir + name).c_str(), "wb");
        std::fclose(f);
    }
    std::atexit([] {
        for (auto& [n, d] : folders)
            std::filesystem::remove_all(d);
    });
    return folders.emplace(count, dir).first->second;
}

void BM_BareDirectoryRead(benchmark::State& state)
{
    const std::string& dir = Folder(int(state.range(0)));
    for (auto _ : state) {
        std::size_t names = 0;
        DIR* d = opendir(dir.c_str());
        while (const dirent* e = readdir(d))
            names += e->d_name[0] != 0;
        closedir(d);
        benchmark::DoNotOptimize(names);
    }
}

void BM_ListPictureFiles(benchmark::State& state)
{
    const std::string path = Folder(int(state.range(0))) + "/photo 0.JPG";
    std::vector<std::string> files;
    bool over = false;
    for (auto _ : state) {
        ListPictureFiles(path, 500, files, over);
        benchmark::DoNotOptimize(files.data());
    }
    state.counters["pictures"] = double(files.size());
}

} // namespace

BENCHMARK(BM_BareDirectoryRead)->Arg(500)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListPictureFiles)->Arg(500)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
