// Which models a batch converts and where each one's outputs go.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unordered_map>

#include "app/Platform.h"
#include "batch/Batch.h"
#include "io/Paths.h"

namespace fs = std::filesystem;

namespace {

bool HasModelExtension(const fs::path& Path) {
    std::string Extension = Utf8Text(Path.extension());
    for (char& C : Extension) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return Extension == ".qm";
}

// The model files below Folder, sorted; links to folders are not followed.
std::vector<fs::path> FindModels(const fs::path& Folder) {
    std::vector<fs::path> Found;
    std::error_code Error;
    fs::recursive_directory_iterator It(Folder, fs::directory_options::skip_permission_denied,
                                        Error);
    for (; !Error && It != fs::recursive_directory_iterator(); It.increment(Error)) {
        std::error_code Ignored;
        if (It->is_directory(Ignored)) {
            if (IsLink(It->path())) It.disable_recursion_pending();
        } else if (HasModelExtension(It->path()) && It->is_regular_file(Ignored)) {
            Found.push_back(It->path());
        }
    }
    std::sort(Found.begin(), Found.end());
    return Found;
}

// The save path of Model: Model without its extension, or, below Output, its
// place relative to Base (the folder it was found in), or its name alone.
fs::path SavePathOf(const fs::path& Model, const fs::path& Base, const fs::path& Output) {
    fs::path Save = Output.empty() ? Model
                    : Base.empty() ? Output / Model.filename()
                                   : Output / Model.lexically_relative(Base);
    Save.replace_extension();
    return Save.make_preferred();
}

// Two save paths that may name one file: absolute, normal, in lower case.
std::string SaveKey(const fs::path& Save) {
    std::error_code Error;
    std::string Key = Utf8Text(fs::absolute(Save, Error).lexically_normal());
    for (char& C : Key) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return Key;
}

}  // namespace

std::string PlanBatch(const BatchOptions& Options, std::vector<BatchJob>& Jobs) {
    Jobs.clear();
    const fs::path Output = Utf8Path(Options.Output);
    std::error_code Error;
    if (!Options.Output.empty() && fs::exists(Output, Error) && !fs::is_directory(Output, Error))
        return "the output folder " + ShownPath(Options.Output) + " is not a folder";
    std::unordered_map<std::string, int> BySave;
    for (const std::string& Given : Options.Paths) {
        const fs::path Path = Utf8Path(Given);
        const fs::file_status Kind = fs::status(Path, Error);
        std::vector<fs::path> Models;
        fs::path Base;
        if (fs::is_directory(Kind)) {
            Models = FindModels(Path);
            Base = Path;
            if (Models.empty()) return "no model file (*.qm) in the folder " + ShownPath(Given);
        } else if (fs::exists(Kind)) {
            Models = {Path};
        } else {
            return "no such file or folder: " + ShownPath(Given);
        }
        for (const fs::path& Model : Models) {
            BatchJob Job;
            Job.Model = Utf8Text(Model);
            const fs::path Save = SavePathOf(Model, Base, Output);
            Job.Save = Utf8Text(Save);
            Job.MakeFolder = !Options.Output.empty();
            const uintmax_t Size = fs::file_size(Model, Error);
            Job.Size = Error ? 0 : static_cast<int64_t>(Size);
            const auto [Place, Fresh] =
                BySave.emplace(SaveKey(Save), static_cast<int>(Jobs.size()));
            if (!Fresh) Job.Earlier = Place->second;
            Jobs.push_back(std::move(Job));
        }
    }
    return "";
}
