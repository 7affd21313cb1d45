// The batch run's floor: what cat does for every model of a folder and its output files, in one
// process as qmbatch is one.
//
// usage: batch_floor <list> <game folder> <reference folder>
// Each line of the list is "M <path>", a model below the game folder, which is read, or
// "O <path>", an output file below the reference folder, which is copied to the same path below
// the current folder, its folders made as needed (as qmbatch -o makes them). Files go through one
// 128 KiB buffer, as cat does. Exits 1 when a read, write or folder fails.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "CatCopy.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: batch_floor <list> <game folder> <reference folder>\n");
        return 2;
    }
    std::ifstream List(argv[1]);
    const std::string Game = std::string(argv[2]) + "/", Reference = std::string(argv[3]) + "/";
    std::vector<char> Buffer(128 * 1024);
    std::filesystem::path Made;  // the folder made last
    bool Ok = static_cast<bool>(List);
    for (std::string Line; Ok && std::getline(List, Line);) {
        const std::string Path = Line.substr(2);
        if (Line.rfind("M ", 0) == 0) {
            Ok = CatCopy(Game + Path, nullptr, Buffer);
            continue;
        }
        const std::filesystem::path Folder = std::filesystem::path(Path).parent_path();
        if (!Folder.empty() && Folder != Made) {
            std::error_code Error;
            std::filesystem::create_directories(Folder, Error);
            Ok = !Error;
            Made = Folder;
        }
        Ok = Ok && Line.rfind("O ", 0) == 0 && CatCopy(Reference + Path, Path.c_str(), Buffer);
    }
    if (!Ok) std::fprintf(stderr, "batch_floor: failed\n");
    return Ok ? 0 : 1;
}
