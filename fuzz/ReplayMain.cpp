// Replay entry point for builds without libFuzzer: runs every given file (or every file in a given folder) through the target.
//
// Usage: <target> [--mutations N] [--max-len L] PATH...
// With --mutations, a target that has a custom mutator also runs N mutants
// of each file, made with fixed seeds, so the mutator and what it makes are
// exercised on every build.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* Argc, char*** Argv);
extern "C" __attribute__((weak)) size_t LLVMFuzzerCustomMutator(uint8_t* Data, size_t Size,
                                                                size_t MaxSize, unsigned Seed);

namespace {
std::minstd_rand MutateRng(12345);
}

// A plain byte-level mutator in place of libFuzzer's, for custom mutators that fall back to it.
extern "C" size_t LLVMFuzzerMutate(uint8_t* Data, size_t Size, size_t MaxSize) {
    switch (MutateRng() % 4) {
        case 0:  // flip a bit
            if (Size > 0) Data[MutateRng() % Size] ^= static_cast<uint8_t>(1u << (MutateRng() % 8));
            return Size;
        case 1:  // random byte
            if (Size > 0) Data[MutateRng() % Size] = static_cast<uint8_t>(MutateRng());
            return Size;
        case 2:  // shorten
            return Size > 0 ? MutateRng() % Size : 0;
        default:  // append a byte
            if (Size < MaxSize) Data[Size++] = static_cast<uint8_t>(MutateRng());
            return Size;
    }
}

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

void RunOne(const std::vector<uint8_t>& Bytes) {
    // An exact-size heap copy, so that a read past the end is seen by AddressSanitizer.
    std::unique_ptr<uint8_t[]> Copy(new uint8_t[Bytes.size()]);
    std::copy(Bytes.begin(), Bytes.end(), Copy.get());
    LLVMFuzzerTestOneInput(Copy.get(), Bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    size_t Mutations = 0;
    size_t MaxLen = 32768;
    std::vector<fs::path> Files;
    for (int a = 1; a < argc; a++) {
        const std::string Arg = argv[a];
        if (Arg == "--mutations" && a + 1 < argc) {
            Mutations = std::strtoul(argv[++a], nullptr, 10);
        } else if (Arg == "--max-len" && a + 1 < argc) {
            MaxLen = std::strtoul(argv[++a], nullptr, 10);
        } else if (fs::is_directory(Arg)) {
            for (const auto& Entry : fs::directory_iterator(Arg))
                if (Entry.is_regular_file()) Files.push_back(fs::absolute(Entry.path()));
        } else if (fs::is_regular_file(Arg)) {
            Files.push_back(fs::absolute(Arg));
        } else {
            std::fprintf(stderr, "%s: no file or folder %s\n", argv[0], Arg.c_str());
            return 2;
        }
    }
    std::sort(Files.begin(), Files.end());
    if (Files.empty()) {
        std::fprintf(stderr, "%s: nothing to replay\n", argv[0]);
        return 2;
    }

    // Read everything first: a target may change the working folder when it starts.
    std::vector<std::vector<uint8_t>> Inputs;
    for (const fs::path& F : Files) Inputs.push_back(ReadAll(F));
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);

    size_t Mutants = 0;
    for (size_t f = 0; f < Inputs.size(); f++) {
        RunOne(Inputs[f]);
        if (LLVMFuzzerCustomMutator == nullptr || Mutations == 0) continue;
        std::vector<uint8_t> Work;
        for (size_t m = 0; m < Mutations; m++) {
            // Chains of eight mutations, each chain starting from the file again.
            if (m % 8 == 0) Work = Inputs[f];
            const size_t Size = std::min(Work.size(), MaxLen);
            Work.resize(std::max(MaxLen, Work.size()));
            const unsigned Seed = static_cast<unsigned>(f * 1000003u + m);
            Work.resize(std::min(LLVMFuzzerCustomMutator(Work.data(), Size, MaxLen, Seed), MaxLen));
            RunOne(Work);
            Mutants++;
        }
    }
    std::printf("%s: replayed %zu files and %zu mutants\n", argv[0], Inputs.size(), Mutants);
    return 0;
}
