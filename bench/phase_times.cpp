// Times each step of one extraction run on a model file, writing the same files the tool writes.
//
// usage: phase_times <model file> <save path without extension>
// Prints one line per step (load, geometry scan, texture scan, OBJ, textures)
// with its wall-clock time in milliseconds and its share of the total.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/LoadFile.h"
#include "geometry/ObjWriter.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"
#include "texture/TextureExport.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: phase_times <model file> <save path>\n");
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    std::vector<std::pair<const char*, double>> Steps;
    auto Last = Clock::now();
    auto Mark = [&](const char* Name) {
        const auto Now = Clock::now();
        Steps.emplace_back(Name, std::chrono::duration<double, std::milli>(Now - Last).count());
        Last = Now;
    };

    unsigned char* Buff = nullptr;
    const int Size = LoadFile(argv[1], Buff);
    if (Size < 0) {
        std::fprintf(stderr, "phase_times: cannot read %s\n", argv[1]);
        return 1;
    }
    Mark("load");
    std::ostringstream Report;
    QMobject Model = BufferScan(Buff, Size, Report);
    Mark("geometry scan");
    int Count = 0;
    Texture* Textures = nullptr;
    TexturesScan(Buff, Size, Count, Textures, Report);
    Mark("texture scan");
    char Path[256] = {};
    std::strncpy(Path, argv[2], sizeof Path - 1);
    std::vector<std::string> Failed;
    SaveOBJ(Path, Model, &Failed);
    Mark("OBJ file");
    SaveTextures(Path, Count, Textures, Buff, Size, &Failed);
    Mark("BMP files");
    ReleaseModel(Model);
    ReleaseTextures(Textures);
    delete[] Buff;
    Mark("release");

    double Total = 0;
    for (const auto& S : Steps) Total += S.second;
    for (const auto& S : Steps)
        std::printf("%-14s %8.1f ms %5.1f%%\n", S.first, S.second, 100 * S.second / Total);
    std::printf("%-14s %8.1f ms\n", "total", Total);
    return Failed.empty() ? 0 : 1;
}
