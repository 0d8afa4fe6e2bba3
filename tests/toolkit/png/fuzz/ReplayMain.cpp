// Runs the fuzz entry point over every file in the folders named on the command line, so the
// entry point and the checksum-fixing mutator build and run without libFuzzer. Each file is
// decoded as it is and again after the mutator (whose random step is left out here).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed);

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t*, std::size_t size, std::size_t)
{
    return size;
}

int main(int argc, char** argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(argv[i], error)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            const std::size_t size = LLVMFuzzerCustomMutator(bytes.data(), bytes.size(), bytes.size(), 1);
            LLVMFuzzerTestOneInput(bytes.data(), size);
            ++files;
        }
    }
    std::printf("replayed %d files\n", files);
    return files > 0 ? 0 : 1;
}
