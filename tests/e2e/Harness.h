// Runs the real qmextract binary with piped standard input and captures what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ModelBuilder.h"

namespace e2e {

struct RunResult {
    int ExitCode = -1;
    std::string Out;  // everything printed on standard output
    std::string Err;  // everything printed on standard error (sanitizer reports land here)
};

inline std::string Slurp(const std::filesystem::path& P) {
    std::ifstream In(P, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

// A fresh, empty working folder per test, removed afterwards.
class TempDir {
public:
    TempDir() {
        static int Counter = 0;
        Path_ = std::filesystem::temp_directory_path() /
                ("qme2e-" + std::to_string(::getpid()) + "-" + std::to_string(Counter++));
        std::filesystem::remove_all(Path_);
        std::filesystem::create_directories(Path_);
    }
    ~TempDir() { std::filesystem::remove_all(Path_); }
    const std::filesystem::path& Path() const { return Path_; }
    std::string operator/(const std::string& Name) const { return (Path_ / Name).string(); }

private:
    std::filesystem::path Path_;
};

// Runs qmextract in Dir with Input as its standard input.
inline RunResult Run(const TempDir& Dir, const std::string& Input) {
    const std::string In = Dir / ".stdin", Out = Dir / ".stdout", Err = Dir / ".stderr";
    std::ofstream(In, std::ios::binary) << Input;
    const std::string Cmd = "cd '" + Dir.Path().string() + "' && '" QMEXTRACT_PATH "' < '" + In +
                            "' > '" + Out + "' 2> '" + Err + "'";
    const int Status = std::system(Cmd.c_str());
    RunResult R;
    R.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    R.Out = Slurp(Out);
    R.Err = Slurp(Err);
    std::filesystem::remove(In);
    std::filesystem::remove(Out);
    std::filesystem::remove(Err);
    return R;
}

// The banner and first prompt, exactly as printed.
inline std::string Banner() {
    return "Quennmire Model Extractor\n"
           "Ver 1.5\n"
           "qmextract: an open extractor for Quennmire model files\n"
           "Written by the qmextract project team\n"
           "Contact: qmextract-team@users.noreply.example\n"
           "\n"
           "Quennmire model path: ";
}

// What the run prints between the reports and the end, for a run that wrote everything.
inline std::string SaveDialogue() {
    return "\n"
           "File object(s) will be saved as Wavefront Object(s) (*.OBJ).\n"
           "File texture(s) will be saved as Bitmap(s) 32 bits (*.BMP).\n"
           "Please enter save file path, without extension.\n"
           "\n"
           "Save file path: \n"
           "Saving objects...\n"
           "Saving textures...\n";
}

inline std::string SuccessEnd() {
    return "Save has been done successfully.\n\nPress Enter to exit\n";
}

}  // namespace e2e
