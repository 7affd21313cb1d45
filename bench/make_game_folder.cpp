// Writes the game folder (see GameFolder.h) below the folder given, creating its subfolders.
//
// usage: make_game_folder <folder> [models, default and at most 1000]
// Prints the number of models and their bytes.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "GameFolder.h"

int main(int argc, char** argv) {
    const int Count = argc == 3 ? std::atoi(argv[2]) : GameFolderModels;
    if (argc < 2 || argc > 3 || Count < 1 || Count > GameFolderModels) {
        std::fprintf(stderr, "usage: make_game_folder <folder> [models, 1 to %d]\n",
                     GameFolderModels);
        return 2;
    }
    try {
        const std::filesystem::path Root(argv[1]);
        long long Bytes = 0;
        for (int i = 0; i < Count; i++) {
            const std::filesystem::path Path = Root / GameFolderPath(i);
            std::filesystem::create_directories(Path.parent_path());
            const std::vector<uint8_t> Model = GameFolderModel(i).Build();
            WriteFileBytes(Path.string(), Model);
            Bytes += static_cast<long long>(Model.size());
        }
        std::printf("%d models, %lld bytes\n", Count, Bytes);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "make_game_folder: %s\n", E.what());
        return 1;
    }
    return 0;
}
