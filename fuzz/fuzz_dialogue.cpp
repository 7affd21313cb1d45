// Fuzz target: the console dialogue on arbitrary typed input, in a private folder holding the sample model.
//
// Inputs with '/' or ".." are skipped, so every path names an entry of the
// folder. After each run the files written are measured and removed.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "Exercise.h"
#include "ModelBuilder.h"
#include "app/Run.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static std::string Folder = (fs::temp_directory_path() / "qmfuzz-dialogue-XXXXXX").string();
    if (mkdtemp(Folder.data()) == nullptr || chdir(Folder.c_str()) != 0) std::abort();
    std::atexit([] { fs::remove_all(Folder); });
    WriteFileBytes("model", DemoModel().Build());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);
    if (Text.find('/') != Text.npos || Text.find("..") != Text.npos) return -1;
    std::istringstream In(Text);
    std::ostringstream Out;
    const uint64_t Status = static_cast<uint64_t>(RunExtraction(In, Out)), Model = fs::file_size("model");
    uint64_t Files = 0, Bytes = 0;
    for (const auto& Entry : fs::directory_iterator("."))
        if (Entry.path().filename() != "model")
            Files++, Bytes += Entry.is_regular_file() ? Entry.file_size() : 0, fs::remove_all(Entry.path());
    if (Status > 1) BoundBroken("exit status", Status, 1, Size);
    if (Files > 1 + ImageLimit(Model)) BoundBroken("files written", Files, 1 + ImageLimit(Model), Model);
    if (Bytes > ObjByteLimit(Model) + BmpByteLimit(Model))
        BoundBroken("bytes written", Bytes, ObjByteLimit(Model) + BmpByteLimit(Model), Model);
    if (Out.str().size() > 4096 + 2 * Size + 64 * (Model / 41 + ImageLimit(Model)))
        BoundBroken("console bytes", Out.str().size(), 4096 + 2 * Size, Size);
    return 0;
}
