// Geometry scan: finds the object markers and copies the header-driven sections out of the buffer.
#include "model/GeometryScan.h"

#include <algorithm>
#include <cstdint>
#include <iostream>

#include "model/ByteReader.h"
#include "model/ModelLayout.h"

namespace {

using layout::F32Size;
using layout::I16Size;
namespace header = layout::header;
namespace object = layout::object;
namespace record = layout::record;

// The buffer offset of the section whose stored position is at header field Field.
int64_t SectionStart(const ByteReader& R, int64_t Field) {
    return R.I32(Field) + header::GeometryBase;
}

// A count stored in the header, cut to the whole items of ItemSize bytes that
// lie inside the buffer from Start on (0 when negative or outside).
int FitCount(const ByteReader& R, int64_t Start, int32_t Stored, int64_t ItemSize) {
    return static_cast<int>(R.Fit(Start, Stored, ItemSize));
}

// The matrix table whose position and count are at header fields StartField and CountField;
// its count, cut to the buffer, goes to Count.
Mat4x4* ReadMatrices(const ByteReader& R, int64_t StartField, int64_t CountField, int& Count) {
    const int64_t Start = SectionStart(R, StartField);
    Count = FitCount(R, Start, R.I32(CountField), layout::matrix::Size);
    Mat4x4* Mats = new Mat4x4[Count];
    for (int n = 0; n < Count; n++)
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++)
                Mats[n].E[r][c] = R.F32(Start + layout::matrix::Size * n +
                                        layout::matrix::RowSize * r + F32Size * c);
    return Mats;
}

// Each object's strip length, and its report line.
void ReadStripLengths(const ByteReader& R, const std::vector<int>& Markers, QMobject& M,
                      std::ostream& Out) {
    M.ObjectsVNumber = new int[M.Objects + 1];
    M.ObjectsVNumber[0] = 0;
    for (int k = 0; k < M.Objects; k++) {
        M.ObjectsVNumber[k + 1] = R.I32(Markers[k] + object::StripLength);
        Out << "Object N" << k + 1
            << " contains : " << static_cast<int64_t>(M.ObjectsVNumber[k + 1]) - 2 << " polygons"
            << std::endl;
    }
}

// Palettes: each cut to what lies in the buffer and to the entries a slot
// byte can reach. Markers are at least NextCandidate bytes apart, so all
// palettes together hold at most 512 / 41 bytes per byte of the file.
void ReadPalettes(const ByteReader& R, const std::vector<int>& Markers, QMobject& M) {
    M.ObjectsUsedMat = new short*[M.Objects];
    for (int k = 0; k < M.Objects; k++) {
        const int64_t Palette = Markers[k] + object::Palette;
        const int32_t Stored = R.I32(Markers[k] + object::PaletteLength);
        const int64_t Length =
            std::min(R.Fit(Palette, Stored, I16Size), static_cast<int64_t>(PaletteLimit));
        M.PerObjectMatCol[k] = static_cast<int>(Length);
        M.ObjectsUsedMat[k] = new short[Length];
        for (int64_t j = 0; j < Length; j++) M.ObjectsUsedMat[k][j] = R.I16(Palette + I16Size * j);
    }
}

// Index list: i16 entries from its start to its end, an odd last byte dropped (the division
// truncates toward zero).
void ReadIndexList(const ByteReader& R, QMobject& M) {
    const int64_t Start = SectionStart(R, header::IndexStart);
    const int64_t End = SectionStart(R, header::IndexEnd);
    M.VNumber = static_cast<int>(R.Fit(Start, (End - Start) / I16Size, I16Size));
    M.VerticesRange = new short[M.VNumber];
    for (int i = 0; i < M.VNumber; i++) M.VerticesRange[i] = R.I16(Start + I16Size * i);
}

void ReadRecords(const ByteReader& R, QMobject& M) {
    const int64_t Start = SectionStart(R, header::RecordStart);
    M.RVNumber = FitCount(R, Start, R.I32(header::RecordCount), record::Size);
    M.Vertices = new Vector4f[M.RVNumber];
    M.Normals = new Vector3f[M.RVNumber];
    M.TexCoords = new Vector2f[M.RVNumber];
    M.UsedMatrix = new int[M.RVNumber];
    for (int v = 0; v < M.RVNumber; v++) {
        const int64_t At = Start + record::Size * v;
        const auto F32 = [&](int64_t Field, int k) { return R.F32(At + Field + F32Size * k); };
        const auto I16 = [&](int64_t Field, int k) { return R.I16(At + Field + I16Size * k); };
        M.Vertices[v] = {F32(record::Position, 0), F32(record::Position, 1),
                         F32(record::Position, 2), F32(record::Position, 3)};
        const Vector3i NormalBuffer{I16(record::Normal, 0), I16(record::Normal, 1),
                                    I16(record::Normal, 2)};
        M.Normals[v] = {static_cast<float>(NormalBuffer.X), static_cast<float>(NormalBuffer.Y),
                        static_cast<float>(NormalBuffer.Z)};
        M.TexCoords[v] = {F32(record::TexCoord, 0), F32(record::TexCoord, 1)};
        M.UsedMatrix[v] = R.U8(At + record::Slot);
    }
}

}  // namespace

std::vector<int> FindObjectMarkers(const unsigned char* Buff, int BufferSize, int DeclaredCount) {
    std::vector<int> Markers;
    const ByteReader R(Buff, BufferSize);
    const int64_t Limit = static_cast<int64_t>(R.Size()) - object::CandidateTail;
    for (int64_t i = 0; i < Limit && static_cast<int64_t>(Markers.size()) < DeclaredCount; i++) {
        const uint32_t X = R.U32Unchecked(i);
        if (X < object::MarkerLow || X > object::MarkerHigh) continue;
        bool Equal = true;
        for (int64_t k = 1; k < object::MarkerFloats; k++)
            Equal = Equal && R.U32Unchecked(i + F32Size * k) == X;
        if (!Equal) continue;
        Markers.push_back(static_cast<int>(i));
        i += object::NextCandidate - 1;  // and the loop's own step
    }
    return Markers;
}

QMobject BufferScan(unsigned char*& Buff, int BufferSize, std::ostream& Out) {
    const ByteReader R(Buff, BufferSize);
    QMobject M{};
    const std::vector<int> Markers =
        FindObjectMarkers(Buff, BufferSize, R.I32(header::ObjectCount));
    M.Objects = static_cast<int>(Markers.size());
    Out << std::endl << "Objects count : " << M.Objects << std::endl;

    // Per-object values lie at fixed distances from each marker; values outside
    // the buffer read as 0.
    M.PerObjectMatCol = new int[M.Objects];
    ReadStripLengths(R, Markers, M, Out);
    M.Mats1 = ReadMatrices(R, header::MatrixStart1, header::MatrixCount1, M.Parts1);
    M.Mats2 = ReadMatrices(R, header::MatrixStart2, header::MatrixCount2, M.Parts2);
    ReadPalettes(R, Markers, M);
    ReadIndexList(R, M);
    ReadRecords(R, M);
    return M;
}

void ReleaseModel(QMobject& Model) {
    if (Model.ObjectsUsedMat != nullptr)
        for (int k = 0; k < Model.Objects; k++) delete[] Model.ObjectsUsedMat[k];
    delete[] Model.ObjectsUsedMat;
    delete[] Model.ObjectsVNumber;
    delete[] Model.PerObjectMatCol;
    delete[] Model.VerticesRange;
    delete[] Model.Vertices;
    delete[] Model.Normals;
    delete[] Model.TexCoords;
    delete[] Model.UsedMatrix;
    delete[] Model.Mats1;
    delete[] Model.Mats2;
    Model = QMobject{};
}
