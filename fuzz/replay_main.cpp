// Runs every corpus file in the folders named on the command line through the harness
// once, in name order, so an ordinary build replays the corpus without libFuzzer.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size);

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i)
        files.insert(files.end(), std::filesystem::directory_iterator(argv[i]), {});
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        LLVMFuzzerTestOneInput(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }
    std::printf("%zu corpus files replayed\n", files.size());
    return files.empty() ? 2 : 0; // an empty corpus would pass without testing anything
}
