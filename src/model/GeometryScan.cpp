// Geometry scan: finds the object markers and copies the header-driven sections out of the buffer.
#include "model/GeometryScan.h"

#include <algorithm>
#include <cstdint>
#include <iostream>

#include "model/ByteReader.h"

namespace {

// Header fields read by the scan (file offsets). Stored positions count from
// the geometry base at file offset 64.
constexpr int64_t GeometryBase = 64;
constexpr int64_t HeaderMatStart1 = 72;
constexpr int64_t HeaderParts1 = 76;
constexpr int64_t HeaderParts2 = 84;
constexpr int64_t HeaderMatStart2 = 92;
constexpr int64_t HeaderObjectCount = 96;
constexpr int64_t HeaderIndexEnd = 108;
constexpr int64_t HeaderRecordCount = 192;
constexpr int64_t HeaderRecordStart = 196;
constexpr int64_t HeaderIndexStart = 208;

constexpr int64_t RecordSize = 48;
constexpr int64_t MatrixSize = 64;

// Float bit patterns bounding a marker: 0x3E4CCCCD is the least float above
// the double 0.2 and 0x3F7FFFFF the greatest below 1.0. Inside this range
// floats are positive and finite, so equal values have equal bits.
constexpr uint32_t MarkerLow = 0x3E4CCCCDu;
constexpr uint32_t MarkerHigh = 0x3F7FFFFFu;

Mat4x4* ReadMatrices(const ByteReader& R, int64_t Start, int Count) {
    Mat4x4* Mats = new Mat4x4[Count];
    for (int n = 0; n < Count; n++)
        for (int r = 0; r < 4; r++)
            for (int c = 0; c < 4; c++)
                Mats[n].E[r][c] = R.F32(Start + MatrixSize * n + 16 * r + 4 * c);
    return Mats;
}

// A count stored in the header, cut to the whole items of ItemSize bytes that
// lie inside the buffer from Start on (0 when negative or outside).
int FitCount(const ByteReader& R, int64_t Start, int32_t Stored, int64_t ItemSize) {
    return static_cast<int>(R.Fit(Start, Stored, ItemSize));
}

}  // namespace

std::vector<int> FindObjectMarkers(const unsigned char* Buff, int BufferSize, int DeclaredCount) {
    std::vector<int> Markers;
    const ByteReader R(Buff, BufferSize);
    const int64_t Limit = static_cast<int64_t>(R.Size()) - 16;
    for (int64_t i = 0; i < Limit && static_cast<int64_t>(Markers.size()) < DeclaredCount; i++) {
        const uint32_t X = R.U32Unchecked(i);
        if (X < MarkerLow || X > MarkerHigh) continue;
        if (R.U32Unchecked(i + 4) != X || R.U32Unchecked(i + 8) != X) continue;
        Markers.push_back(static_cast<int>(i));
        i += 40;
    }
    return Markers;
}

QMobject BufferScan(unsigned char*& Buff, int BufferSize, std::ostream& Out) {
    const ByteReader R(Buff, BufferSize);
    QMobject M{};

    const std::vector<int> Markers = FindObjectMarkers(Buff, BufferSize, R.I32(HeaderObjectCount));
    M.Objects = static_cast<int>(Markers.size());

    Out << std::endl << "Objects count : " << M.Objects << std::endl;

    // Per-object values at fixed distances from each marker; values outside
    // the buffer read as 0.
    M.PerObjectMatCol = new int[M.Objects];
    M.ObjectsVNumber = new int[M.Objects + 1];
    M.ObjectsVNumber[0] = 0;
    for (int k = 0; k < M.Objects; k++) {
        const int64_t p = Markers[k];
        M.ObjectsVNumber[k + 1] = R.I32(p + 52);
        Out << "Object N" << k + 1
            << " contains : " << static_cast<int64_t>(M.ObjectsVNumber[k + 1]) - 2 << " polygons"
            << std::endl;
    }

    M.Parts1 = FitCount(R, R.I32(HeaderMatStart1) + GeometryBase, R.I32(HeaderParts1), MatrixSize);
    M.Mats1 = ReadMatrices(R, R.I32(HeaderMatStart1) + GeometryBase, M.Parts1);
    M.Parts2 = FitCount(R, R.I32(HeaderMatStart2) + GeometryBase, R.I32(HeaderParts2), MatrixSize);
    M.Mats2 = ReadMatrices(R, R.I32(HeaderMatStart2) + GeometryBase, M.Parts2);

    // Palettes: each cut to what lies in the buffer and to the entries a slot
    // byte can reach. Markers are at least 41 bytes apart, so all palettes
    // together hold at most 512 / 41 bytes per byte of the file.
    M.ObjectsUsedMat = new short*[M.Objects];
    for (int k = 0; k < M.Objects; k++) {
        const int64_t p = Markers[k];
        const int64_t Length =
            std::min(R.Fit(p + 60, R.I32(p - 60), 2), static_cast<int64_t>(PaletteLimit));
        M.PerObjectMatCol[k] = static_cast<int>(Length);
        M.ObjectsUsedMat[k] = new short[Length];
        for (int64_t j = 0; j < Length; j++) M.ObjectsUsedMat[k][j] = R.I16(p + 60 + 2 * j);
    }

    // Index list: (end - start) / 2 entries, truncated toward zero.
    const int64_t IndexStart = R.I32(HeaderIndexStart) + GeometryBase;
    const int64_t IndexEnd = R.I32(HeaderIndexEnd) + GeometryBase;
    M.VNumber = static_cast<int>(R.Fit(IndexStart, (IndexEnd - IndexStart) / 2, 2));
    M.VerticesRange = new short[M.VNumber];
    for (int i = 0; i < M.VNumber; i++) M.VerticesRange[i] = R.I16(IndexStart + 2 * i);

    // Vertex records, 48 bytes each.
    const int64_t RecordStart = R.I32(HeaderRecordStart) + GeometryBase;
    M.RVNumber = FitCount(R, RecordStart, R.I32(HeaderRecordCount), RecordSize);
    M.Vertices = new Vector4f[M.RVNumber];
    M.Normals = new Vector3f[M.RVNumber];
    M.TexCoords = new Vector2f[M.RVNumber];
    M.UsedMatrix = new int[M.RVNumber];
    for (int v = 0; v < M.RVNumber; v++) {
        const int64_t r = RecordStart + RecordSize * v;
        M.Vertices[v] = {R.F32(r), R.F32(r + 4), R.F32(r + 8), R.F32(r + 12)};
        const Vector3i NormalBuffer{R.I16(r + 28), R.I16(r + 30), R.I16(r + 32)};
        M.Normals[v] = {static_cast<float>(NormalBuffer.X), static_cast<float>(NormalBuffer.Y),
                        static_cast<float>(NormalBuffer.Z)};
        M.TexCoords[v] = {R.F32(r + 36), R.F32(r + 40)};
        M.UsedMatrix[v] = R.U8(r + 44);
    }
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
