// The whole run in process: exact transcripts, exit codes and the files left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "ModelBuilder.h"
#include "app/Run.h"

namespace fs = std::filesystem;

namespace {

const std::string Banner =
    "Quennmire Model Extractor\nVer 1.5\nqmextract: an open extractor for Quennmire model files\n"
    "Written by the qmextract project team\nContact: qmextract-team@users.noreply.example\n\n"
    "Quennmire model path: ";
const std::string SampleReport =
    "\nObjects count : 3\nObject N1 contains : 2 polygons\nObject N2 contains : 4 polygons\n"
    "Object N3 contains : 1 polygons\n\nTextures count: 3\nTexture N1: 16x16x32\nTexture N2: 32x8x32\n"
    "Texture N3: 8x32x32\n\nFile object(s) will be saved as Wavefront Object(s) (*.OBJ).\n"
    "File texture(s) will be saved as Bitmap(s) 32 bits (*.BMP).\n"
    "Please enter save file path, without extension.\n\nSave file path: ";
const std::string Saving = "\nSaving objects...\nSaving textures...\n";
const std::string Pause = "\nPress Enter to exit\n";
const std::string Success = Saving + "Save has been done successfully.\n" + Pause;

class Dialogue : public testing::Test {
protected:
    void SetUp() override {
        Dir = fs::path(testing::TempDir()) / ("qm_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }

    // Runs the dialogue on Input; returns the transcript and sets Status and Left (the input not read).
    std::string Run(const std::string& Input) {
        std::istringstream In(Input);
        std::ostringstream Out;
        Status = RunExtraction(In, Out);
        Left = In.rdbuf()->in_avail() > 0 ? In.str().substr(static_cast<size_t>(In.tellg())) : "";
        return Out.str();
    }
    // The files in the folder; no temporary file is ever left.
    std::vector<std::string> Files() const {
        std::vector<std::string> Names;
        for (const auto& E : fs::directory_iterator(Dir)) Names.push_back(E.path().filename().string());
        for (const std::string& Name : Names) EXPECT_NE(Name.rfind("~qm", 0), 0u) << Name;
        std::sort(Names.begin(), Names.end());
        return Names;
    }

    fs::path Dir;
    const std::string Sample = QM_SAMPLES "/demo.qm";
    int Status = -1;
    std::string Left;
};

}  // namespace

TEST_F(Dialogue, SampleRunWritesEveryFile) {
    const std::string Out = (Dir / "demo").string();
    EXPECT_EQ(Run("\n\n" + Sample + "\n \n" + Out + "\nxyz"), Banner + SampleReport + Success);
    EXPECT_EQ(Status, 0);
    EXPECT_EQ(Left, "yz");  // the pause read the line end and one character
    EXPECT_EQ(Files(), (std::vector<std::string>{"demo.obj", "demo_tex0.bmp", "demo_tex1.bmp", "demo_tex2.bmp"}));
    EXPECT_EQ(fs::file_size(Dir / "demo_tex1.bmp"), 54u + 4 * 32 * 8);
    // Two words on one line: the second is the save path, and a blank is no part of a path.
    EXPECT_EQ(Run(Sample + " " + Out + "2 rest\n"), Banner + SampleReport + Success);
    EXPECT_TRUE(fs::exists(Dir / "demo2.obj"));
    EXPECT_EQ(Left, "est\n");
}

TEST_F(Dialogue, PathsOf255CharactersAreTakenAndLongerOnesRefused) {
    std::string Long = Sample;  // the same file, named with more slashes
    Long.insert(Long.rfind('/'), 255 - Long.size(), '/');
    const std::string Out = (Dir / "o").string();
    EXPECT_EQ(Run(Long + "\n" + Out + "\n"), Banner + SampleReport + Success);
    EXPECT_EQ(Run("/" + Long + "\n" + Out + "\n"),
              Banner + "\nError: the model path is longer than 255 characters\n" + Pause);
    EXPECT_EQ(Status, 1);
}

TEST_F(Dialogue, EarlyErrorsPauseAndWriteNothing) {
    EXPECT_EQ(Run(""), Banner + "\nError: input ended before a model path was given\n" + Pause);
    EXPECT_EQ(Status, 1);
    EXPECT_EQ(Run(Sample + "\n  \n"),
              Banner + SampleReport + "\nError: input ended before a save file path was given\n" + Pause);
    EXPECT_EQ(Status, 1);
    const std::string Missing = (Dir / "missing.qm").string();
    EXPECT_EQ(Run(Missing + "\nab"),
              Banner + "\nError: cannot open model file " + Missing + ": No such file or directory\n" + Pause);
    EXPECT_EQ(Left, "b");  // the pause took the line end and one more character
    EXPECT_EQ(Run(Dir.string() + "\nx\n"), Banner + "\nError: model file " + Dir.string() + " is a folder\n" + Pause);
    EXPECT_EQ(Run("/dev/zero\nx\n"), Banner + "\nError: model file /dev/zero is not a regular file\n" + Pause);
    EXPECT_EQ(Status, 1);
    EXPECT_TRUE(Files().empty());
}

TEST_F(Dialogue, NeverWritesOverTheModelAndFailsWhenTheConsoleFails) {
    const std::vector<uint8_t> Model = ReadFileBytes(Sample);
    WriteFileBytes((Dir / "m.obj").string(), Model);
    const std::string Text = Run((Dir / "m.obj").string() + "\n" + (Dir / "m").string() + "\n");
    EXPECT_NE(Text.find(Saving + "Error: could not write " + (Dir / "m.obj").string() + ": it is the model file\n" + Pause),
              std::string::npos);
    EXPECT_EQ(Status, 1);
    EXPECT_EQ(ReadFileBytes((Dir / "m.obj").string()), Model);
    EXPECT_EQ(Files().size(), 4u);  // the model and three textures
    std::istringstream In(Sample + "\n" + (Dir / "c").string() + "\n");
    std::ostream Broken(nullptr);  // every write fails
    EXPECT_EQ(RunExtraction(In, Broken), 1);
    EXPECT_TRUE(fs::exists(Dir / "c.obj"));
}

TEST_F(Dialogue, UnwrittenFilesAreNamedAndTheRunFails) {
    const std::string Out = (Dir / "no" / "x").string();
    const std::string Text = Run(Sample + "\n" + Out + "\n");
    EXPECT_EQ(Status, 1);
    EXPECT_EQ(Text.find("Save has been done successfully."), std::string::npos);
    for (const char* Name : {".obj", "_tex0.bmp", "_tex1.bmp", "_tex2.bmp"})
        EXPECT_NE(Text.find("\nError: could not write " + Out + Name + ": No such file or directory\n"),
                  std::string::npos) << Name;
    EXPECT_NE(Text.find("BMP Error: Cannot open file " + Out + "_tex0.bmp for output.\n"), std::string::npos);
    EXPECT_TRUE(Files().empty());
}

TEST_F(Dialogue, EmptyModelGivesAnEmptyObjAndNoTextures) {
    WriteFileBytes((Dir / "empty").string(), {});
    EXPECT_EQ(Run((Dir / "empty").string() + "\n" + (Dir / "e").string() + "\n"),
              Banner + "\nObjects count : 0\n\nTextures count: 0\n" + SampleReport.substr(SampleReport.find("\nFile")) + Success);
    EXPECT_EQ(ReadFileBytes((Dir / "e.obj").string()).size(), 39u);
}
