// The geometry scan as three marker walks and the texture scan as a byte-by-byte marker search.
#include <algorithm>
#include <cstdint>
#include <ostream>

#include "Literal.h"
#include "model/ByteReader.h"

namespace literal {

namespace {

// The marker test at offset i: three floats read, compared and bounded.
bool IsMarker(const ByteReader& R, int64_t i, int Objects, int Declared) {
    const float X = R.F32(i), Y = R.F32(i + 4), Z = R.F32(i + 8);
    return Objects < Declared && X == Y && X == Z && static_cast<double>(X) > 0.2 && X < 1.0f;
}

// Whole items of ItemSize bytes, at most Count, inside the buffer from Start.
int Fit(const ByteReader& R, int64_t Start, int64_t Count, int64_t ItemSize) {
    return static_cast<int>(R.Fit(Start, Count, ItemSize));
}

Mat4x4* ReadMatrices(const ByteReader& R, int64_t Start, int Count) {
    Mat4x4* Mats = new Mat4x4[Count];
    for (int n = 0; n < Count; n++)
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++) Mats[n].E[r][c] = R.F32(Start + 64 * n + 16 * r + 4 * c);
    return Mats;
}

}  // namespace

QMobject BufferScan(const unsigned char* Buff, int BufferSize, std::ostream& Out) {
    const ByteReader R(Buff, BufferSize);
    const int64_t Size = R.Size();
    QMobject M{};
    const int Declared = R.I32(96);

    // Pass 1: palette lengths. Markers lie at least 41 bytes apart, which
    // bounds the room a hostile declared count can ask for.
    M.PerObjectMatCol = new int[std::clamp<int64_t>(Declared, 0, Size / 41 + 1)];
    M.Objects = 0;
    for (int64_t i = 0; i < Size - 16; i++)
        if (IsMarker(R, i, M.Objects, Declared)) {
            M.PerObjectMatCol[M.Objects] = R.I32(i - 60);
            M.Objects++;
            i += 40;
        }
    Out << std::endl << "Objects count : " << M.Objects << std::endl;

    // Pass 2: strip lengths and the report.
    M.ObjectsVNumber = new int[M.Objects + 1];
    M.ObjectsVNumber[0] = 0;
    M.Objects = 0;
    for (int64_t i = 0; i < Size - 16; i++)
        if (IsMarker(R, i, M.Objects, Declared)) {
            M.Objects++;
            M.ObjectsVNumber[M.Objects] = R.I32(i + 52);
            Out << "Object N" << M.Objects << " contains : "
                << static_cast<int64_t>(M.ObjectsVNumber[M.Objects]) - 2 << " polygons" << std::endl;
            i += 40;
        }

    const int64_t Mat1Start = R.I32(72) + int64_t{64};
    M.Parts1 = Fit(R, Mat1Start, R.I32(76), 64);
    M.Mats1 = ReadMatrices(R, Mat1Start, M.Parts1);
    const int64_t Mat2Start = R.I32(92) + int64_t{64};
    M.Parts2 = Fit(R, Mat2Start, R.I32(84), 64);
    M.Mats2 = ReadMatrices(R, Mat2Start, M.Parts2);

    // Pass 3: palettes, each cut to the buffer, to the 256 entries a slot byte
    // can reach, and all together to the 16-bit words the buffer holds.
    const int Found = M.Objects;
    M.ObjectsUsedMat = new short*[Found];
    int64_t Budget = Size / 2;
    M.Objects = 0;
    for (int64_t i = 0; i < Size - 16; i++)
        if (IsMarker(R, i, M.Objects, Declared)) {
            const int64_t Length = std::min(
                {R.Fit(i + 60, M.PerObjectMatCol[M.Objects], 2), int64_t{PaletteLimit}, Budget});
            Budget -= Length;
            M.PerObjectMatCol[M.Objects] = static_cast<int>(Length);
            M.ObjectsUsedMat[M.Objects] = new short[Length];
            for (int64_t j = 0; j < Length; j++) M.ObjectsUsedMat[M.Objects][j] = R.I16(i + 60 + 2 * j);
            M.Objects++;
            i += 40;
        }

    const int64_t VerticesStarts = R.I32(208) + int64_t{64};
    const int64_t VerticesEnds = R.I32(108) + int64_t{64};
    const int64_t RVerticesStarts = R.I32(196) + int64_t{64};
    M.VNumber = Fit(R, VerticesStarts, (VerticesEnds - VerticesStarts) / 2, 2);
    M.VerticesRange = new short[M.VNumber];
    for (int i = 0; i < M.VNumber; i++) M.VerticesRange[i] = R.I16(VerticesStarts + 2 * i);

    M.RVNumber = Fit(R, RVerticesStarts, R.I32(192), 48);
    M.Vertices = new Vector4f[M.RVNumber];
    M.Normals = new Vector3f[M.RVNumber];
    M.TexCoords = new Vector2f[M.RVNumber];
    M.UsedMatrix = new int[M.RVNumber];
    for (int v = 0; v < M.RVNumber; v++) {
        const int64_t r = RVerticesStarts + 48 * int64_t{v};
        M.Vertices[v] = {R.F32(r), R.F32(r + 4), R.F32(r + 8), R.F32(r + 12)};
        const Vector3i NormalBuffer{R.I16(r + 28), R.I16(r + 30), R.I16(r + 32)};
        M.Normals[v] = {static_cast<float>(NormalBuffer.X), static_cast<float>(NormalBuffer.Y),
                        static_cast<float>(NormalBuffer.Z)};
        M.TexCoords[v] = {R.F32(r + 36), R.F32(r + 40)};
        M.UsedMatrix[v] = R.U8(r + 44);
    }
    return M;
}

std::vector<Texture> FindTextures(const unsigned char* Buff, int BufferSize, int TexStart) {
    static const unsigned char Marker[8] = {0, 0, 0, 0, 0, 0, 0, 0x99};
    const ByteReader R(Buff, BufferSize);
    auto EntryAt = [&R](int64_t At) {
        return Texture{R.I16(At - 16), R.I16(At - 14), static_cast<int32_t>(At + 8)};
    };
    std::vector<Texture> Found;
    int64_t LastLine = TexStart;
    for (int64_t i = std::max(TexStart, 0); i + 8 <= R.Size(); i++) {
        bool Same = true;
        for (int k = 0; k < 8; k++)
            if (R.U8(i + k) != Marker[k]) Same = false;
        if (Same) {
            if (i - LastLine > 500) Found.push_back(EntryAt(LastLine));
            LastLine = i;
        }
    }
    Found.push_back(EntryAt(LastLine));
    return Found;
}

void TexturesScan(const unsigned char* Buff, int BufferSize, int& TexturesCount,
                  Texture*& Textures, std::ostream& Out) {
    const ByteReader R(Buff, BufferSize);
    const int32_t TexCount = R.I32(8);
    const std::vector<Texture> Found = FindTextures(Buff, BufferSize, R.I32(12));
    const int64_t Filled = static_cast<int64_t>(Found.size());
    const bool Plausible = TexCount >= 0 && TexCount <= Filled + 64;
    const int Count = Plausible ? TexCount : TexCount < 0 ? 0 : static_cast<int>(Filled);
    Textures = new Texture[Count]();
    for (int k = 0; k < Count && k < Filled; k++) Textures[k] = Found[k];
    TexturesCount = Count;
    Out << std::endl;
    if (!Plausible)
        Out << "Texture count " << TexCount << " in the header is not plausible for this file; using "
            << Count << "." << std::endl;
    Out << "Textures count: " << Count << std::endl;
    for (int k = 0; k < Count; k++)
        Out << "Texture N" << k + 1 << ": " << Textures[k].Width << "x" << Textures[k].Height << "x32"
            << std::endl;
}

}  // namespace literal
