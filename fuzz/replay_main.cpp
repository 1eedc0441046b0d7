// Runs every corpus file in the folders (or the single files) named on the command line
// through the harness once, in name order, so an ordinary build replays the corpus
// without libFuzzer and a failure is reproducible.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i]))
            files.push_back(argv[i]);
        else
            files.insert(files.end(), fs::directory_iterator(argv[i]), fs::directory_iterator());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) { // an empty corpus would pass without testing anything
        std::fprintf(stderr, "no corpus files given\n");
        return 2;
    }
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 2;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu corpus files replayed\n", files.size());
    return 0;
}
