// Truncated and poked model files through the real binary: the run ends cleanly and its OBJ stays bounded.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Transcript.h"

namespace {

// Two objects over five vertex records with two matrices.
std::vector<uint8_t> SmallModel() {
    ModelBuilder B;
    B.Mats1 = {ModelBuilder::Identity(), ModelBuilder::Translation(2, 0, 0)};
    for (int v = 0; v < 5; v++) {
        BuilderVertex V;
        V.X = static_cast<float>(v), V.Y = static_cast<float>(v * v), V.Z = 2;
        V.U = static_cast<float>(v) * 0.125f, V.V = 1;
        V.NX = static_cast<int16_t>(v), V.NZ = 3;
        V.Slot = static_cast<uint8_t>(v % 2);
        B.Vertices.push_back(V);
    }
    B.Objects = {{0.5f, {0, 1}, {0, 1, 2, 3, 4}}, {0.5f, {1, 0}, {4, 3, 3, 2, 1}}};
    return B.Build();
}

int32_t GetI32(const std::vector<uint8_t>& B, size_t Offset) {
    return static_cast<int32_t>(B[Offset] | B[Offset + 1] << 8 | B[Offset + 2] << 16 |
                                static_cast<uint32_t>(B[Offset + 3]) << 24);
}

struct HostileFile {
    std::string Name;
    std::vector<uint8_t> Bytes;
};

std::vector<HostileFile> HostileFiles() {
    const std::vector<uint8_t> Base = SmallModel();
    const size_t p = 256 + 60;  // first marker, right after the header
    std::vector<HostileFile> Files;
    for (size_t n : {size_t{1}, size_t{99}, size_t{100}, size_t{211}, size_t{212}, p + 16, p + 17, p + 55,
                     Base.size() / 2, Base.size() - 1})
        Files.push_back({"first " + std::to_string(n) + " bytes",
                         std::vector<uint8_t>(Base.begin(), Base.begin() + static_cast<long>(n))});
    auto Poked = [&](const std::string& Name, size_t Offset, int32_t Value) {
        std::vector<uint8_t> B = Base;
        PutI32(B, Offset, Value);
        Files.push_back({Name, B});
    };
    Poked("object count INT_MAX", Header::ObjectCount, INT32_MAX);
    Poked("record count INT_MAX", Header::RecordCount, INT32_MAX);
    Poked("matrix count INT_MAX", Header::Parts1, INT32_MAX);
    Poked("index end INT_MAX", Header::IndexEnd, INT32_MAX);
    Poked("index start INT_MIN", Header::IndexStart, INT32_MIN);
    Poked("index list from byte 0", Header::IndexStart, -64);
    Poked("strip length INT_MAX", p + 52, INT32_MAX);
    Poked("strip length INT_MIN", p + 52, INT32_MIN);
    Poked("palette length -1", p - 60, -1);
    {
        std::vector<uint8_t> B = Base;
        const size_t IndexStart = static_cast<size_t>(GetI32(B, Header::IndexStart)) + 64;
        PutI16(B, IndexStart + 2, -32768);
        PutI16(B, IndexStart + 6, 32767);
        const size_t RecordStart = static_cast<size_t>(GetI32(B, Header::RecordStart)) + 64;
        B[RecordStart + 44] = 255;
        Files.push_back({"index entries and a slot out of range", B});
    }
    {
        // Nothing but 0.5f: a marker every 41 bytes, every count and length
        // 0x3F000000, every section outside the file.
        std::vector<uint8_t> B;
        for (size_t i = 0; i < 64 * 1024; i += 4) PutF32(B, i, 0.5f);
        PutI32(B, Header::ObjectCount, INT32_MAX);
        Files.push_back({"marker farm", B});
    }
    return Files;
}

TEST(HostileFiles, RunEndsCleanlyWithABoundedObj) {
    for (const HostileFile& F : HostileFiles()) {
        SCOPED_TRACE(F.Name);
        e2e::TempDir Dir;
        WriteFileBytes(Dir / "m.qm", F.Bytes);
        const e2e::RunResult R = e2e::Run(Dir, "m.qm\nout\n\n");
        EXPECT_TRUE(R.ExitCode == 0 || R.ExitCode == 1) << R.ExitCode;
        EXPECT_EQ(R.Err, "");
        EXPECT_EQ(R.Out.rfind(e2e::Banner() + "\nObjects count : ", 0), 0u) << R.Out.substr(0, 400);
        const std::string End = "\nPress Enter to exit\n";
        EXPECT_TRUE(R.Out.size() >= End.size() && R.Out.compare(R.Out.size() - End.size(), End.size(), End) == 0)
            << R.Out.substr(R.Out.size() > 400 ? R.Out.size() - 400 : 0);
        EXPECT_EQ(R.Out.find("could not write out.obj"), std::string::npos);
        ASSERT_TRUE(std::filesystem::exists(Dir.Path() / "out.obj"));
        EXPECT_LE(std::filesystem::file_size(Dir.Path() / "out.obj"), 256 * F.Bytes.size() + 1024);
        e2e::LoadWithClient(Dir / "out.obj");
    }
}

}  // namespace
