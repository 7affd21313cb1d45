// Writes the fuzzers' seed corpus: builder-made models, hostile variants of them, and typed dialogue input.
//
// Usage: make_corpus FOLDER   (normally fuzz/corpus). Writes FOLDER/fuzz_model,
// FOLDER/fuzz_structured and FOLDER/fuzz_dialogue; files of the same name are
// replaced, others are left alone. The output is the same on every run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ModelBuilder.h"
#include "SeedModels.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes WithI32(Bytes B, size_t At, int32_t V) {
    if (At + 4 <= B.size()) PutI32(B, At, V);
    return B;
}

Bytes WithI16(Bytes B, size_t At, int16_t V) {
    if (At + 2 <= B.size()) PutI16(B, At, V);
    return B;
}

// Offset of the n-th texture marker (seven zeros and 0x99), or 0.
size_t TextureMarker(const Bytes& B, int n) {
    for (size_t i = 0; i + 8 <= B.size(); i++) {
        bool Zeros = B[i + 7] == 0x99;
        for (int k = 0; k < 7 && Zeros; k++) Zeros = B[i + k] == 0;
        if (Zeros && n-- == 0) return i;
    }
    return 0;
}

void Write(const fs::path& Folder, const std::string& Name, const Bytes& B) {
    fs::create_directories(Folder);
    WriteFileBytes((Folder / Name).string(), B);
}

void WriteText(const fs::path& Folder, const std::string& Name, const std::string& Text) {
    Write(Folder, Name, Bytes(Text.begin(), Text.end()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path Root = argv[1];
    const fs::path Model = Root / "fuzz_model";
    const fs::path Structured = Root / "fuzz_structured";
    const fs::path Dialogue = Root / "fuzz_dialogue";

    using namespace SeedModels;
    const Bytes BasicFile = Basic().Build();
    const Bytes Valid[] = {BasicFile, StripJoins().Build(), EdgeMarkers().Build(), EdgeValues().Build()};
    const char* ValidNames[] = {"basic.qm", "strip-joins.qm", "edge-markers.qm", "edge-values.qm"};
    for (int k = 0; k < 4; k++) {
        Write(Structured, ValidNames[k], Valid[k]);
        Write(Model, ValidNames[k], Valid[k]);
    }

    // Hostile variants of the basic model: one field each.
    const size_t Tex0 = TextureMarker(BasicFile, 0);
    const size_t Tex1 = TextureMarker(BasicFile, 1);
    Write(Model, "count-huge.qm", WithI32(BasicFile, Header::ObjectCount, 0x7FFFFFFF));
    Write(Model, "records-beyond-file.qm", WithI32(BasicFile, Header::RecordCount, 0x7FFFFFFF));
    Write(Model, "index-backwards.qm", WithI32(BasicFile, Header::IndexEnd, -64));
    Write(Model, "matrices-negative-start.qm", WithI32(BasicFile, Header::MatStart1, INT32_MIN));
    Write(Model, "tex-count-huge.qm", WithI32(BasicFile, Header::TexCount, 0x7FFFFFFF));
    Write(Model, "tex-count-negative.qm", WithI32(BasicFile, Header::TexCount, -1));
    Write(Model, "tex-start-near-max.qm", WithI32(BasicFile, Header::TexStart, 0x7FFFFFF0));
    Write(Model, "tex-width-max.qm", WithI16(BasicFile, Tex0 - 16, 0x7FFF));
    Write(Model, "tex-height-negative.qm", WithI16(BasicFile, Tex1 - 14, -1));
    Write(Model, "tex-cut-in-blocks.qm", Bytes(BasicFile.begin(), BasicFile.begin() + Tex1 + 40));
    Write(Model, "header-only.qm", Bytes(BasicFile.begin(), BasicFile.begin() + 212));
    Write(Model, "short.qm", Bytes(BasicFile.begin(), BasicFile.begin() + 17));
    Write(Model, "empty.qm", {});

    // Typed input for the dialogue; its folder holds "model", "m" and "empty".
    WriteText(Dialogue, "normal.txt", "model\nout\n\n");
    WriteText(Dialogue, "one-line.txt", "model out\n");
    WriteText(Dialogue, "blank-lines.txt", "\n\n  \tmodel\n\n\n out extra words\n");
    WriteText(Dialogue, "missing-model.txt", "missing\nout\n\n");
    WriteText(Dialogue, "input-ends.txt", "model\n");
    WriteText(Dialogue, "nothing.txt", "");
    WriteText(Dialogue, "tiny-model.txt", "m\nt\n\n");
    WriteText(Dialogue, "empty-model.txt", "empty\ne\n\n");
    WriteText(Dialogue, "folder-as-model.txt", ".\nx\n");
    WriteText(Dialogue, "long-path.txt", std::string(300, 'a') + "\nout\n");
    WriteText(Dialogue, "longest-path.txt", "model\n" + std::string(251, 'b') + "\n\n");
    return 0;
}
