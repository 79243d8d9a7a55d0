// Runs a fuzz target's entry point once over every file of the folders (or
// files) named on the command line, so that inputs found by fuzzing stay
// fixed in ordinary builds. Exits nonzero when a folder is missing.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool RunFile(const std::filesystem::path& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return false;
    }
    std::vector<std::uint8_t> data;
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        data.insert(data.end(), buffer, buffer + n);
    std::fclose(f);
    LLVMFuzzerTestOneInput(data.data(), data.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        const std::filesystem::path arg = argv[i];
        if (std::filesystem::is_regular_file(arg, error)) {
            if (!RunFile(arg))
                return 1;
            ++files;
            continue;
        }
        if (!std::filesystem::is_directory(arg, error)) {
            std::fprintf(stderr, "no such corpus: %s\n", argv[i]);
            return 1;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(arg, error)) {
            if (!entry.is_regular_file())
                continue;
            if (!RunFile(entry.path()))
                return 1;
            ++files;
        }
    }
    std::printf("%d inputs ran\n", files);
    return 0;
}
