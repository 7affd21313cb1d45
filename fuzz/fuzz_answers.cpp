// Fuzz target: any bytes as the answers to the prompts, against a small model in a scratch folder.
// The fuzzer works in a scratch folder of its own: give it absolute paths (as run.sh does).
// Every run must end with the pause line and status 0 or 1, and leave nothing but its outputs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>

#include "ModelBuilder.h"
#include "app/Run.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder of the fuzzer's own, made the working folder once.
const fs::path& Scratch() {
    static const fs::path Folder = [] {
        const fs::path Made = fs::temp_directory_path() /
                              ("qmfuzz-answers-" + std::to_string(std::random_device()()));
        fs::create_directories(Made);
        fs::current_path(Made);
        return Made;
    }();
    return Folder;
}

void Fail(const char* What, const std::string& Answers) {
    std::fprintf(stderr, "fuzz_answers: %s for answers of %zu bytes\n", What, Answers.size());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string Answers(reinterpret_cast<const char*>(Data), Size);
    // No separators, so no answer can name a file outside the scratch folder.
    if (Answers.find_first_of("/\\") != std::string::npos) return 0;
    static const std::vector<uint8_t> Model = DemoModel().Build();
    const fs::path& Folder = Scratch();
    WriteFileBytes((Folder / "m").string(), Model);

    std::istringstream In(Answers);
    std::ostringstream Out;
    const int Status = RunExtraction(In, Out);
    if (Status != 0 && Status != 1) Fail("an exit status other than 0 or 1", Answers);
    if (!Out.str().ends_with("\nPress Enter to exit\n")) Fail("no pause line at the end", Answers);
    for (const fs::directory_entry& Entry : fs::directory_iterator(Folder)) {
        // Besides the model, only outputs: a temporary file has no extension.
        const std::string Name = Entry.path().filename().string();
        if (Name != "m" && !Name.ends_with(".obj") && !Name.ends_with(".bmp"))
            Fail("a file that is no output left behind", Answers);
        fs::remove_all(Entry.path());
    }
    return 0;
}
