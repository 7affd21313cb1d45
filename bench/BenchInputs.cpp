// Builds the benchmark inputs on first use: the big model, its file, its coordinates.
#include "BenchInputs.h"

#include <cstring>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "BigModel.h"
#include "geometry/Vectors.h"

namespace benchinputs {

namespace {

QMobject Scan(std::vector<uint8_t>& Bytes) {
    unsigned char* Data = Bytes.data();
    std::ostringstream Quiet;
    return BufferScan(Data, static_cast<int>(Bytes.size()), Quiet);
}

// Removes the model file when the process ends.
struct TempFile {
    std::string Path;
    ~TempFile() {
        if (!Path.empty()) std::filesystem::remove_all(std::filesystem::path(Path).parent_path());
    }
};

}  // namespace

const std::vector<uint8_t>& BigModelBytes() {
    static const std::vector<uint8_t> Bytes = bigmodel::MakeBigModel();
    return Bytes;
}

const std::string& BigModelPath() {
    static const TempFile File = [] {
        const std::filesystem::path Dir =
            std::filesystem::temp_directory_path() / ("qmbench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(Dir);
        TempFile F{(Dir / "big.qm").string()};
        WriteFileBytes(F.Path, BigModelBytes());
        return F;
    }();
    return File.Path;
}

const QMobject& BigModel() {
    static std::vector<uint8_t> Bytes = BigModelBytes();
    static const QMobject Model = Scan(Bytes);
    return Model;
}

const std::vector<float>& Coordinates() {
    static const std::vector<float> Numbers = [] {
        // Every number the OBJ writer would print for each strip entry of the
        // big model (duplicates included): positions, texture coordinates, normals.
        const QMobject& M = BigModel();
        std::vector<float> Out;
        int From = 0;
        for (int o = 0; o < M.Objects; o++) {
            const int To = From + M.ObjectsVNumber[o + 1];
            for (int i = From; i < To; i++) {
                const int v = M.VerticesRange[i];
                const Mat4x4& Mat = M.Mats1[M.ObjectsUsedMat[o][M.UsedMatrix[v]]];
                const Vector4f P = VMulMat(Mat, M.Vertices[v]);
                const Vector3f N = Normalize(NMulMat(Mat, M.Normals[v]));
                for (float F :
                     {P.X, P.Y, P.Z, M.TexCoords[v].X, M.TexCoords[v].Y, -N.X, -N.Y, -N.Z})
                    Out.push_back(F);
            }
            From = To;
        }
        return Out;
    }();
    return Numbers;
}

void MemcpyFloor(benchmark::State& State, size_t Bytes) {
    std::vector<char> From(Bytes, 'a'), To(Bytes, 'b');
    for (auto _ : State) {
        std::memcpy(To.data(), From.data(), Bytes);
        benchmark::ClobberMemory();
    }
    State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(Bytes));
    State.counters["Bytes"] = static_cast<double>(Bytes);
}

}  // namespace benchinputs
