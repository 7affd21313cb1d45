// Fuzz target: the console dialogue on arbitrary standard input, inside a private temporary folder.
//
// At start the target makes a fresh folder, changes into it and writes a few
// model files there (a valid one, a tiny one and an empty one), so that typed
// paths can reach them. Inputs that contain '/' or ".." are skipped: paths
// then name entries of this folder only, and every file the run writes lies
// in it. After each run the files written are measured against the bounds of
// the largest model present and removed.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <istream>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include "FuzzSupport.h"
#include "ModelBuilder.h"
#include "SeedModels.h"
#include "app/Run.h"

namespace {

namespace fs = std::filesystem;

fs::path Folder;
std::set<std::string> Models;
uint64_t LargestModel = 0;

void AddModel(const std::string& Name, const std::vector<uint8_t>& Bytes) {
    WriteFileBytes(Name, Bytes);
    Models.insert(Name);
    LargestModel = std::max<uint64_t>(LargestModel, Bytes.size());
}

void RemoveFolder() {
    std::error_code Ignored;
    if (!Folder.empty()) fs::remove_all(Folder, Ignored);
}

// Sums and removes every file that is not one of the models.
void Sweep(uint64_t& Files, uint64_t& Bytes) {
    Files = Bytes = 0;
    std::error_code E;
    for (const auto& Entry : fs::directory_iterator(Folder, E)) {
        const std::string Name = Entry.path().filename().string();
        if (Models.count(Name) != 0) continue;
        Files++;
        std::error_code SizeError;
        const auto Size = fs::file_size(Entry.path(), SizeError);
        if (!SizeError) Bytes += Size;
        fs::remove_all(Entry.path(), E);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStdout();
    std::string Template = (fs::temp_directory_path() / "qmfuzz-dialogue-XXXXXX").string();
    if (mkdtemp(Template.data()) == nullptr || chdir(Template.c_str()) != 0) {
        std::perror("fuzz_dialogue: cannot make its temporary folder");
        std::abort();
    }
    Folder = Template;
    std::atexit(RemoveFolder);
    AddModel("model", SeedModels::Basic().Build());
    AddModel("m", {0x00, 0x01, 0x02, 0x99, 0x00, 0x00});
    AddModel("empty", {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
    if (Text.find('/') != std::string_view::npos || Text.find("..") != std::string_view::npos)
        return -1;

    std::istringstream In{std::string(Text)};
    CountingBuf Console;
    std::ostream Out(&Console);
    const int Status = RunExtraction(In, Out);
    if (Status != 0 && Status != 1) BoundBroken("exit status", static_cast<uint64_t>(Status), 1, Size);

    uint64_t Files = 0, Bytes = 0;
    Sweep(Files, Bytes);
    // One OBJ file and one BMP file per texture, each bounded by the model loaded.
    if (Files > 1 + ImageLimit(LargestModel))
        BoundBroken("files written", Files, 1 + ImageLimit(LargestModel), LargestModel);
    const uint64_t Limit = ObjByteLimit(LargestModel) + BmpByteLimit(LargestModel);
    if (Bytes > Limit) BoundBroken("bytes written", Bytes, Limit, LargestModel);
    // The dialogue's fixed text, the error lines, and the reports of the model.
    const uint64_t ConsoleLimit = 4096 + 2 * Size + 64 * (LargestModel / 41 + ImageLimit(LargestModel));
    if (Console.Count() > ConsoleLimit) BoundBroken("console bytes", Console.Count(), ConsoleLimit, Size);
    return 0;
}
