// The whole run in process: transcripts, exit codes and the files left behind. (The real binary's
// sample session and failed writes are checked byte for byte by e2e/smoke.sh.)
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "ModelBuilder.h"
#include "app/Run.h"
#include "io/OutputFile.h"

namespace fs = std::filesystem;

namespace {

// The sample session's transcript: the banner ends at the first prompt, the save dialogue starts at
// "File object".
const std::vector<uint8_t> DemoBytes = ReadFileBytes(QM_EXPECTED "/demo.txt");
const std::string Demo(DemoBytes.begin(), DemoBytes.end());
const std::string Banner = Demo.substr(0, Demo.find("path: ") + 6),
                  Pause = "\nPress Enter to exit\n";
const std::string AskedToEnd = Demo.substr(Demo.find("\nFile object"));
const std::string Sample = QM_SAMPLES "/demo.qm";

struct Dialogue : testing::Test {
    fs::path Dir = fs::path(testing::TempDir()) /
                   testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string Left;  // the input the run did not read

    void SetUp() override { fs::remove_all(Dir), fs::create_directories(Dir); }
    void TearDown() override { fs::remove_all(Dir); }
    std::string Path(const char* Name) const { return (Dir / Name).string(); }

    // One run on Input, which must end with Status.
    std::string Run(const std::string& Input, int Status) {
        std::istringstream In(Input);
        std::ostringstream Out;
        EXPECT_EQ(RunExtraction(In, Out), Status) << Input;
        Left = In.rdbuf()->in_avail() > 0 ? In.str().substr(static_cast<size_t>(In.tellg())) : "";
        return Out.str();
    }
    // The files in the folder.
    std::vector<std::string> Files() const {
        std::vector<std::string> Names;
        for (const auto& E : fs::directory_iterator(Dir))
            Names.push_back(E.path().filename().string());
        return std::sort(Names.begin(), Names.end()), Names;
    }
};

}  // namespace

TEST_F(Dialogue, EarlyErrorsTokensBlankLinesThePauseAndTheLongestPath) {
    const std::pair<std::string, std::string> Cases[] = {
        {"", "Error: input ended before a model path was given"},
        {Dir.string() + "\nx\n", "Error: model file " + Dir.string() + " is a folder"},
        {"/dev/zero\nx\n", "Error: model file /dev/zero is not a regular file"},
        {Path("m") + "\nab",
         "Error: cannot open model file " + Path("m") + ": No such file or directory"}};
    for (const auto& [Input, Line] : Cases)
        EXPECT_EQ(Run(Input, 1), Banner + "\n" + Line + "\n" + Pause);
    EXPECT_EQ(Left, "b");  // the pause took the line end and one more character
    EXPECT_TRUE(
        Run(Sample + "\n  \n", 1)
            .ends_with("Save file path: \nError: input ended before a save file path was given\n" +
                       Pause));
    EXPECT_TRUE(
        Run(Sample + "\n" + Path("s") + '\0' + "x\n", 1)  // a NUL would cut the name to another
            .ends_with("Save file path: \nError: the save file path contains a NUL character\n" +
                       Pause));
    EXPECT_TRUE(Files().empty());
    // Two words on one line: the second is the save path; the pause takes two characters.
    EXPECT_EQ(Run("\n\n" + Sample + " \n\n" + Path("a") + " rest\n", 0), Demo);
    EXPECT_EQ(Left, "est\n");
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"a.obj", "a_tex0.bmp", "a_tex1.bmp", "a_tex2.bmp"}));
    WriteFileBytes(Path("empty"), {});  // no objects, no textures: an OBJ of comments only
    EXPECT_EQ(Run(Path("empty") + "\n" + Path("e") + "\n", 0),
              Banner + "\nObjects count : 0\n\nTextures count: 0\n" + AskedToEnd);
    std::string Long = Sample;  // the same file, named with more slashes
    Long.insert(Long.rfind('/'), 255 - Long.size(), '/');
    EXPECT_EQ(Run(Long + "\n" + Path("b") + "\n", 0), Demo);
    EXPECT_EQ(Run("/" + Long + "\nx\n", 1),
              Banner + "\nError: the model path is longer than 255 characters\n" + Pause);
}

TEST_F(Dialogue, FailedOutputsAreNamedAndTheRunFails) {
    fs::copy_file(Sample, Path("m.obj"));
    const std::string Line = "Error: could not write " + Path("m.obj") + ": it is the model file\n";
    EXPECT_TRUE(Run(Path("m.obj") + "\n" + Path("m") + "\n", 1)
                    .ends_with("\nSaving textures...\n" + Line + Pause));
    EXPECT_EQ(ReadFileBytes(Path("m.obj")), ReadFileBytes(Sample));
    EXPECT_EQ(Files().size(), 4u);  // the model and three textures
    // Names past the system's limit: each output fails on its own, nothing is left behind.
    const fs::path Back = fs::current_path();
    fs::current_path(Dir);
    const std::string Long(252, 'n'), Refused = Run(Sample + "\n" + Long + "\n", 1);
    fs::current_path(Back);
    for (const char* End : {".obj", "_tex0.bmp", "_tex2.bmp"})
        EXPECT_NE(Refused.find("\nError: could not write " + Long + End + ": File name too long\n"),
                  std::string::npos);
    EXPECT_EQ(Files().size(), 4u);
    std::istringstream In(Sample + "\n" + Path("c") + "\n");
    std::ostream Broken(nullptr);  // every write fails
    EXPECT_EQ(RunExtraction(In, Broken), 1);
    EXPECT_TRUE(fs::exists(Dir / "c.obj"));
}

TEST_F(Dialogue, AnInterruptLeavesNoTemporaryFileAndKeepsTheEarlierOutput) {
    WriteFileBytes(Path("x.obj"), {'o', 'l', 'd'});
    // The signal arrives while the file is half written.
    EXPECT_EXIT((OutputFile(Path("x.obj")).Stream() << "half", std::raise(SIGINT)),
                testing::KilledBySignal(SIGINT), "");
    EXPECT_TRUE(Files() == std::vector<std::string>{"x.obj"} &&
                ReadFileBytes(Path("x.obj")).size() == 3);
}
