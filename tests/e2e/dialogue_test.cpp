// The console dialogue of the real binary: exact transcripts, exit codes and the files a run leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "Transcript.h"

namespace {

using e2e::FilesIn;
using e2e::Report;
using e2e::SuccessfulRun;
using e2e::TempDir;
using e2e::UpToSavePrompt;

// One object, one quad strip: "Object N1 contains : 2 polygons".
std::vector<uint8_t> QuadModel() {
    ModelBuilder B;
    for (int v = 0; v < 4; v++) {
        BuilderVertex V;
        V.X = V.U = static_cast<float>(v % 2);
        V.Y = V.V = static_cast<float>(v / 2);
        B.Vertices.push_back(V);
    }
    B.Objects = {{0.5f, {0}, {0, 1, 2, 3}}};
    return B.Build();
}

const std::string QuadReport = Report({4});

struct DialogueCase {
    const char* Name;
    std::string Input;
    std::string Expected;                 // whole stdout
    int ExitCode;
    std::set<std::string> NewFiles;       // files the run leaves besides m.qm
};

std::string ErrorLine(const std::string& Text) { return "\n" + Text + "\n"; }

TEST(Dialogue, TranscriptsExitCodesAndFiles) {
    const std::string Long300(300, 'p');
    const std::string Long256(256, 'p');
    const std::string Failed = "Error: could not write nodir/out.obj\n\nPress Enter to exit\n";
    const std::vector<DialogueCase> Cases = {
        {"normal run", "m.qm\nout\n\n", SuccessfulRun(QuadReport), 0, {"out.obj"}},
        {"no pause input left", "m.qm\nout", SuccessfulRun(QuadReport), 0, {"out.obj"}},
        {"two-word model path", "m.qm out\n", SuccessfulRun(QuadReport), 0, {"out.obj"}},
        {"empty lines before tokens", "\n\n \t\nm.qm\n\n\n   out\n\n",
         SuccessfulRun(QuadReport), 0, {"out.obj"}},
        {"CR LF line ends", "m.qm\r\nout\r\n\r\n", SuccessfulRun(QuadReport), 0, {"out.obj"}},
        {"second word after save path", "m.qm\nout extra\n", SuccessfulRun(QuadReport), 0,
         {"out.obj"}},
        {"input ends at once", "",
         e2e::Banner() + ErrorLine("Error: input ended before a model path was given"), 1, {}},
        {"only blank lines", "\n \n\t\n",
         e2e::Banner() + ErrorLine("Error: input ended before a model path was given"), 1, {}},
        {"input ends before save path", "m.qm\n\n",
         UpToSavePrompt(QuadReport) + ErrorLine("Error: input ended before a save file path was given"),
         1, {}},
        {"300-character model path", Long300 + "\nout\n",
         e2e::Banner() + ErrorLine("Error: the model path is longer than 255 characters"), 1, {}},
        {"256-character model path", Long256 + "\nout\n",
         e2e::Banner() + ErrorLine("Error: the model path is longer than 255 characters"), 1, {}},
        {"300-character save path", "m.qm\n" + Long300 + "\n",
         UpToSavePrompt(QuadReport) + ErrorLine("Error: the save file path is longer than 255 characters"),
         1, {}},
        {"missing model file", "nope.qm\nout\n",
         e2e::Banner() + ErrorLine("Error: cannot open model file nope.qm"), 1, {}},
        {"save folder does not exist", "m.qm\nnodir/out\n\n",
         e2e::Banner() + QuadReport + e2e::SaveDialogue() + Failed, 1, {}},
    };
    for (const DialogueCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TempDir Dir;
        WriteFileBytes(Dir / "m.qm", QuadModel());
        const e2e::RunResult R = e2e::Run(Dir, C.Input);
        EXPECT_EQ(R.Out, C.Expected);
        EXPECT_EQ(R.ExitCode, C.ExitCode);
        EXPECT_EQ(R.Err, "");
        std::set<std::string> Expected = C.NewFiles;
        Expected.insert("m.qm");
        EXPECT_EQ(FilesIn(Dir), Expected);
        if (C.NewFiles.count("out.obj") != 0) {
            EXPECT_EQ(e2e::LoadWithClient(Dir / "out.obj"), (e2e::ObjCounts{4, 4, 1, 2}));
        }
    }
}

// Paths of exactly 255 characters fit; the save path's file gets ".obj" beyond them.
TEST(Dialogue, AcceptsPathsOf255Characters) {
    TempDir Dir;
    const std::string Folder = std::string(100, 'a') + "/" + std::string(100, 'b');
    std::filesystem::create_directories(Dir.Path() / Folder);
    const std::string Model = Folder + "/" + std::string(255 - Folder.size() - 1, 'm');
    const std::string Save = Folder + "/" + std::string(255 - Folder.size() - 1, 's');
    ASSERT_EQ(Model.size(), 255u);
    ASSERT_EQ(Save.size(), 255u);
    WriteFileBytes(Dir / Model, QuadModel());

    const e2e::RunResult R = e2e::Run(Dir, Model + "\n" + Save + "\n");
    EXPECT_EQ(R.Out, SuccessfulRun(QuadReport));
    EXPECT_EQ(R.ExitCode, 0);
    EXPECT_EQ(R.Err, "");
    ASSERT_TRUE(std::filesystem::exists(Dir.Path() / (Save + ".obj")));
    EXPECT_EQ(e2e::LoadWithClient(Dir / (Save + ".obj")), (e2e::ObjCounts{4, 4, 1, 2}));
}

// An empty model file loads as a buffer of no bytes: no objects, an OBJ of two
// header lines, which replace whatever an earlier file of that name held.
TEST(Dialogue, EmptyModelFileGivesEmptyObj) {
    TempDir Dir;
    WriteFileBytes(Dir / "empty.qm", {});
    WriteFileBytes(Dir / "out.obj", std::vector<uint8_t>(10000, 'x'));
    const e2e::RunResult R = e2e::Run(Dir, "empty.qm\nout\n\n");
    EXPECT_EQ(R.Out, SuccessfulRun(Report({})));
    EXPECT_EQ(R.ExitCode, 0);
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(e2e::Slurp(Dir / "out.obj"), "# Max2Obj Version 4.0 Mar 10th, 2001\n#\n");
    EXPECT_EQ(e2e::LoadWithClient(Dir / "out.obj"), (e2e::ObjCounts{}));
}

// A folder given as the model path is not a model: the run says so in one
// line (or reads nothing from it) and writes nothing it claims to have written.
TEST(Dialogue, FolderAsModelPathEndsCleanly) {
    TempDir Dir;
    std::filesystem::create_directories(Dir.Path() / "folder.qm");
    const e2e::RunResult R = e2e::Run(Dir, "folder.qm\nout\n\n");
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(R.Out.rfind(e2e::Banner(), 0), 0u) << R.Out;
    if (R.ExitCode == 0) {
        EXPECT_EQ(R.Out.find("Error"), std::string::npos) << R.Out;
        EXPECT_EQ(e2e::LoadWithClient(Dir / "out.obj"), (e2e::ObjCounts{}));
    } else {
        EXPECT_EQ(R.ExitCode, 1);
        EXPECT_NE(R.Out.find("folder.qm"), std::string::npos) << R.Out;
        // A folder has no size to speak of; saying it is too large sends the user astray.
        EXPECT_EQ(R.Out.find("larger than"), std::string::npos) << R.Out;
        EXPECT_EQ(FilesIn(Dir), (std::set<std::string>{"folder.qm"}));
    }
}

}  // namespace
