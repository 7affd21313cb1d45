// Replay entry point for builds without libFuzzer: runs each file of the given folders once.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* Argc, char*** Argv);

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    int Runs = 0;
    for (int a = 1; a < argc; a++)
        for (const auto& File : std::filesystem::directory_iterator(argv[a])) {
            std::ifstream In(File.path(), std::ios::binary);
            const std::vector<uint8_t> Bytes{std::istreambuf_iterator<char>(In), {}};
            LLVMFuzzerTestOneInput(Bytes.data(), Bytes.size()), Runs++;
        }
    std::printf("replayed %d inputs\n", Runs);
    return Runs == 0;
}
