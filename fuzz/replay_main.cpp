// Runs a fuzz target on given inputs once each, without libFuzzer: in every
// build with tests the seed corpus is replayed as a regression test, and a
// finding can be rerun under a debugger.
//
//   fuzz_NAME_replay PATH...   files, or directories whose files are inputs
//
// Each input is copied into a heap block of exactly its size, as libFuzzer
// does, so that a sanitizer build stops at a read past its end. A broken
// invariant aborts inside the target.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
#if defined(FUZZ_TARGET_HAS_INITIALIZE)
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
#endif

int main(int argc, char** argv)
{
#if defined(FUZZ_TARGET_HAS_INITIALIZE)
    LLVMFuzzerInitialize(&argc, &argv);
#endif
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        if (std::filesystem::is_directory(path)) {
            for (const auto& file : std::filesystem::directory_iterator(path)) {
                if (file.is_regular_file()) {
                    inputs.push_back(file.path());
                }
            }
        } else {
            inputs.push_back(path);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "%s: no inputs\n", argv[0]);
        return 1;
    }

    for (const std::filesystem::path& path : inputs) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], path.c_str());
            return 1;
        }
        const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        auto data = std::make_unique<std::uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), data.get());
        LLVMFuzzerTestOneInput(data.get(), bytes.size());
    }
    std::printf("%zu inputs passed\n", inputs.size());
    return 0;
}
