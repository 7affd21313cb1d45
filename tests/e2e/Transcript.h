// Expected console transcripts and an independent OBJ reader check, shared by the end-to-end tests.
#pragma once

#include <gtest/gtest.h>
#include <tiny_obj_loader.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Harness.h"

namespace e2e {

// The texture report printed after the object report. Models built without
// textures have a texture count of 0; this is the one place that says what
// the run prints for them.
inline std::string TextureReport() { return "\nTextures count: 0\n"; }

// The object report for objects whose strips hold the given numbers of
// entries, followed by the texture report.
inline std::string Report(const std::vector<long long>& StripLengths) {
    std::string S = "\nObjects count : " + std::to_string(StripLengths.size()) + "\n";
    for (size_t k = 0; k < StripLengths.size(); k++)
        S += "Object N" + std::to_string(k + 1) + " contains : " +
             std::to_string(StripLengths[k] - 2) + " polygons\n";
    return S + TextureReport();
}

// The whole stdout of a run that loads a model with this report and writes everything.
inline std::string SuccessfulRun(const std::string& ReportText) {
    return Banner() + ReportText + SaveDialogue() + SuccessEnd();
}

// The stdout of a run up to and including the save path prompt.
inline std::string UpToSavePrompt(const std::string& ReportText) {
    const std::string D = SaveDialogue();
    const std::string Prompt = "Save file path: ";
    return Banner() + ReportText + D.substr(0, D.find(Prompt) + Prompt.size());
}

// The files in Dir, by name.
inline std::set<std::string> FilesIn(const TempDir& Dir) {
    std::set<std::string> Names;
    for (const auto& E : std::filesystem::recursive_directory_iterator(Dir.Path()))
        Names.insert(std::filesystem::relative(E.path(), Dir.Path()).string());
    return Names;
}

// Counts an OBJ file declares in its comment lines, summed over its objects.
struct ObjCounts {
    long long Positions = 0, TexCoords = 0, Normals = 0, Faces = 0;
    bool operator==(const ObjCounts&) const = default;
};

inline std::ostream& operator<<(std::ostream& O, const ObjCounts& C) {
    return O << "{v " << C.Positions << ", vt " << C.TexCoords << ", vn " << C.Normals
             << ", f " << C.Faces << "}";
}

// Loads the OBJ file at Path with tinyobjloader, checks that what it reads
// agrees with the "# N ..." comment lines and that every face corner refers to
// an existing position, texture coordinate and normal, and returns the counts.
inline ObjCounts LoadWithClient(const std::string& Path) {
    ObjCounts Declared;
    {
        std::istringstream Text(Slurp(Path));
        std::string Line;
        while (std::getline(Text, Line)) {
            long long N = 0;
            char Rest[32] = {};
            if (std::sscanf(Line.c_str(), "# %lld %31[a-z ]", &N, Rest) != 2) continue;
            const std::string What = Rest;
            if (What == "vertices") Declared.Positions += N;
            else if (What == "texture vertices") Declared.TexCoords += N;
            else if (What == "vertex normals") Declared.Normals += N;
            else if (What == "faces") Declared.Faces += N;
        }
    }

    tinyobj::ObjReaderConfig Config;
    Config.triangulate = false;
    Config.vertex_color = false;
    tinyobj::ObjReader Reader;
    EXPECT_TRUE(Reader.ParseFromFile(Path, Config)) << Path << ": " << Reader.Error();
    EXPECT_EQ(Reader.Warning().find("out of bounds"), std::string::npos) << Reader.Warning();

    const tinyobj::attrib_t& A = Reader.GetAttrib();
    ObjCounts Read;
    Read.Positions = static_cast<long long>(A.vertices.size() / 3);
    Read.TexCoords = static_cast<long long>(A.texcoords.size() / 2);
    Read.Normals = static_cast<long long>(A.normals.size() / 3);
    for (const tinyobj::shape_t& S : Reader.GetShapes()) {
        for (unsigned char Corners : S.mesh.num_face_vertices) EXPECT_EQ(Corners, 3);
        Read.Faces += static_cast<long long>(S.mesh.num_face_vertices.size());
        for (const tinyobj::index_t& I : S.mesh.indices) {
            EXPECT_TRUE(I.vertex_index >= 0 && I.vertex_index < Read.Positions) << I.vertex_index;
            EXPECT_TRUE(I.texcoord_index >= 0 && I.texcoord_index < Read.TexCoords) << I.texcoord_index;
            EXPECT_TRUE(I.normal_index >= 0 && I.normal_index < Read.Normals) << I.normal_index;
        }
    }
    EXPECT_EQ(Read, Declared) << Path << ": tinyobjloader disagrees with the comment lines";
    return Read;
}

}  // namespace e2e
