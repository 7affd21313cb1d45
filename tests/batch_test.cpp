// The batch converter in process: which models it finds, where their outputs go, what it
// refuses, what it prints and returns, and that every output is the interactive run's bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "ModelBuilder.h"
#include "app/Platform.h"
#include "app/Run.h"
#include "batch/Batch.h"

namespace fs = std::filesystem;
using testing::EndsWith;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

const std::vector<uint8_t> Demo = DemoModel().Build();
const std::vector<uint8_t> Edge = EdgeModel().Build();
const std::vector<uint8_t> Corrupt(Demo.begin(), Demo.end() - 72);  // its last texture cut short

struct Batch : testing::Test {
    fs::path Dir =
        fs::path(testing::TempDir()) /
        ("batch-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::string Out, Err;
    TempSlot Slots[MaxJobs];
    std::atomic<bool> Stop{false};

    void SetUp() override {
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }
    std::string Path(const std::string& Name) const { return (Dir / Name).string(); }

    void Put(const std::string& Name, const std::vector<uint8_t>& Bytes) const {
        fs::create_directories(fs::path(Path(Name)).parent_path());
        WriteFileBytes(Path(Name), Bytes);
    }

    // One batch with these arguments; Out and Err hold what it printed.
    int Run(const std::vector<std::string>& Arguments) {
        std::ostringstream O, E;
        const int Status = RunBatch(Arguments, O, E, {&Stop, Slots, false});
        Out = O.str();
        Err = E.str();
        return Status;
    }

    // The result lines of the last run (those that start with "ok" or "FAILED").
    std::vector<std::string> Results() const {
        std::vector<std::string> Lines;
        std::istringstream In(Out);
        for (std::string Line; std::getline(In, Line);)
            if (Line.starts_with("ok ") || Line.starts_with("FAILED ")) Lines.push_back(Line);
        return Lines;
    }

    // The files below Folder, relative to it, sorted.
    std::vector<std::string> Tree(const std::string& Folder) const {
        std::vector<std::string> Names;
        for (const auto& E : fs::recursive_directory_iterator(Path(Folder)))
            if (!E.is_directory())
                Names.push_back(E.path().lexically_relative(Path(Folder)).string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }

    // The interactive run's outputs for Model under Save, by file name.
    std::vector<std::vector<uint8_t>> Interactive(const std::string& Model, int Textures) const {
        const std::string Save = Path("interactive/out");
        fs::create_directories(Path("interactive"));
        std::istringstream In(Model + "\n" + Save + "\n");
        std::ostringstream Ignored;
        RunExtraction(In, Ignored);
        std::vector<std::vector<uint8_t>> Files{ReadFileBytes(Save + ".obj")};
        for (int t = 0; t < Textures; t++)
            Files.push_back(ReadFileBytes(Save + "_tex" + std::to_string(t) + ".bmp"));
        fs::remove_all(Path("interactive"));
        return Files;
    }
};

}  // namespace

TEST_F(Batch, FindsModelsInAnyLetterCaseSortedByPath) {
    Put("m/b.QM", Demo);
    Put("m/a.qm", Demo);
    Put("m/sub/c.Qm", Demo);
    Put("m/notes.txt", Demo);
    Put("m/x.qmx", Demo);
    EXPECT_EQ(Run({Path("m")}), 0);
    EXPECT_THAT(Results(), testing::ElementsAre(StartsWith("ok " + Path("m/a.qm")),
                                                StartsWith("ok " + Path("m/b.QM")),
                                                StartsWith("ok " + Path("m/sub/c.Qm"))));
}

TEST_F(Batch, DoesNotFollowLinksToFolders) {
    Put("m/a.qm", Demo);
    Put("elsewhere/b.qm", Demo);
    fs::create_directory_symlink(Path("elsewhere"), Path("m/link"));
    EXPECT_EQ(Run({Path("m")}), 0);
    EXPECT_EQ(Results().size(), 1u);
    EXPECT_FALSE(fs::exists(Path("elsewhere/b.obj")));
}

TEST_F(Batch, ConvertsThePathsInTheOrderGiven) {
    Put("m/a.qm", Demo);
    Put("z.qm", Demo);
    EXPECT_EQ(Run({Path("z.qm"), Path("m")}), 0);
    EXPECT_THAT(Results(), testing::ElementsAre(StartsWith("ok " + Path("z.qm")),
                                                StartsWith("ok " + Path("m/a.qm"))));
}

TEST_F(Batch, UsageErrorsAreOneLineOnStandardErrorWithStatus2) {
    Put("empty/notes.txt", Demo);
    const std::vector<std::string> Cases[] = {{},
                                              {"--frob", Path("empty")},
                                              {"-j", "0", Path("empty")},
                                              {Path("nothere")},
                                              {Path("empty")}};
    for (const auto& Arguments : Cases) {
        EXPECT_EQ(Run(Arguments), 2);
        EXPECT_THAT(Err, StartsWith("qmbatch: "));
        EXPECT_EQ(std::count(Err.begin(), Err.end(), '\n'), 1) << Err;
        EXPECT_EQ(Out, "");
    }
}

TEST_F(Batch, AFolderWithoutModelsIsNamedInTheUsageError) {
    fs::create_directory(Path("empty"));
    EXPECT_EQ(Run({Path("empty")}), 2);
    EXPECT_EQ(Err, "qmbatch: no model file (*.qm) in the folder " + Path("empty") + "\n");
}

TEST_F(Batch, VersionAndHelpGoToStandardOutputWithStatus0) {
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_THAT(Out, testing::MatchesRegex("qmbatch [0-9]+\\.[0-9]+\\.[0-9]+\n"));
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_THAT(Out, HasSubstr("--output"));
    EXPECT_EQ(Err, "");
}

TEST_F(Batch, WithoutAnOutputFolderTheFilesGoBesideEachModel) {
    Put("m/sub/hero.qm", Demo);
    EXPECT_EQ(Run({Path("m")}), 0);
    EXPECT_EQ(Tree("m"),
              (std::vector<std::string>{"sub/hero.obj", "sub/hero.qm", "sub/hero_tex0.bmp",
                                        "sub/hero_tex1.bmp", "sub/hero_tex2.bmp"}));
}

TEST_F(Batch, AnOutputFolderMirrorsTheTreeBelowEachFolderAndTakesFilesDirectly) {
    Put("m/sub/hero.qm", Demo);
    Put("loose/edge.qm", Edge);
    EXPECT_EQ(Run({"-o", Path("out"), Path("m"), Path("loose/edge.qm")}), 0);
    const std::vector<std::string> Expected{
        "edge.obj",     "edge_tex0.bmp",     "edge_tex1.bmp",     "edge_tex2.bmp",
        "sub/hero.obj", "sub/hero_tex0.bmp", "sub/hero_tex1.bmp", "sub/hero_tex2.bmp"};
    EXPECT_EQ(Tree("out"), Expected);
}

TEST_F(Batch, EveryOutputIsTheInteractiveRunsBytesWithManyModelsAtOnce) {
    const std::vector<uint8_t>* Models[] = {&Demo, &Edge};
    for (int k = 0; k < 12; k++) Put("m/" + std::to_string(k) + ".qm", *Models[k % 2]);
    EXPECT_EQ(Run({"-j", "4", "-o", Path("out"), Path("m")}), 0);
    for (int k = 0; k < 12; k++) {
        const std::string Save = Path("out/" + std::to_string(k));
        const auto Expected = Interactive(Path("m/" + std::to_string(k) + ".qm"), 3);
        EXPECT_EQ(ReadFileBytes(Save + ".obj"), Expected[0]) << k;
        for (int t = 0; t < 3; t++)
            EXPECT_EQ(ReadFileBytes(Save + "_tex" + std::to_string(t) + ".bmp"), Expected[t + 1])
                << k;
    }
}

TEST_F(Batch, ALaterModelWithTheSameSavePathNamesTheEarlierAndIsNotConverted) {
    Put("m/hero.QM", Edge);
    Put("m/hero.qm", Demo);
    EXPECT_EQ(Run({Path("m")}), 1);
    EXPECT_THAT(Results(), testing::ElementsAre(StartsWith("ok " + Path("m/hero.QM")),
                                                StartsWith("FAILED " + Path("m/hero.qm"))));
    EXPECT_THAT(Out, HasSubstr("    Error: the save path " + Path("m/hero") + " is also that of " +
                               Path("m/hero.QM") + ", converted before it"));
    EXPECT_EQ(ReadFileBytes(Path("m/hero.obj")), Interactive(Path("m/hero.QM"), 3)[0]);
}

TEST_F(Batch, TwoFilesOfOneNameUnderAnOutputFolderAreNotConvertedOverEachOther) {
    Put("a/hero.qm", Demo);
    Put("b/hero.qm", Edge);
    EXPECT_EQ(Run({"-o", Path("out"), Path("a/hero.qm"), Path("b/hero.qm")}), 1);
    EXPECT_THAT(Results().at(1), StartsWith("FAILED " + Path("b/hero.qm")));
    EXPECT_EQ(ReadFileBytes(Path("out/hero.obj")), Interactive(Path("a/hero.qm"), 3)[0]);
}

TEST_F(Batch, NoModelOfTheBatchIsOverwrittenByAnOutput) {
    Put("x_tex0.bmp", Demo);  // a model file given by a name that another model's BMP takes
    Put("x.qm", Demo);
    EXPECT_EQ(Run({Path("x.qm"), Path("x_tex0.bmp")}), 1);
    EXPECT_THAT(Out,
                HasSubstr("    Error: could not write " + Path("x_tex0.bmp") +
                          ": it is the model file " + Path("x_tex0.bmp") + " of this batch\n"));
    EXPECT_EQ(ReadFileBytes(Path("x_tex0.bmp")), Demo);
}

TEST_F(Batch, AFailedModelIsListedWithItsErrorsIndentedAndTheStatusIs1) {
    Put("m/bad.qm", Corrupt);
    Put("m/good.qm", Demo);
    EXPECT_EQ(Run({Path("m")}), 1);
    EXPECT_THAT(Out,
                StartsWith("FAILED " + Path("m/bad.qm") + " -> " + Path("m/bad") +
                           " (3 objects, 3 textures)\n    Error: could not write " +
                           Path("m/bad_tex2.bmp") + ": texture N3 has pixel data past the end"));
    EXPECT_THAT(Out, HasSubstr("\n2 models: 1 converted, 1 failed, 0 with nothing found; "));
}

TEST_F(Batch, AModelWithNothingFoundIsMarkedAndCountedApart) {
    Put("m/junk.qm", {'j', 'u', 'n', 'k'});
    EXPECT_EQ(Run({Path("m")}), 0);
    EXPECT_THAT(Results().at(0),
                EndsWith("(nothing found: no object, no texture; most likely not a model file)"));
    EXPECT_THAT(Out, HasSubstr("\n1 models: 0 converted, 0 failed, 1 with nothing found; "));
}

TEST_F(Batch, QuietPrintsTheFailedModelsAndTheSummaryOnly) {
    Put("m/bad.qm", Corrupt);
    Put("m/good.qm", Demo);
    EXPECT_EQ(Run({"-q", Path("m")}), 1);
    EXPECT_EQ(Results(), std::vector<std::string>{"FAILED " + Path("m/bad.qm") + " -> " +
                                                  Path("m/bad") + " (3 objects, 3 textures)"});
    EXPECT_THAT(Out, HasSubstr("\n2 models: 1 converted, 1 failed"));
}

TEST_F(Batch, AnInterruptBeforeTheStartConvertsNothingAndSaysSo) {
    Put("m/a.qm", Demo);
    Stop = true;
    EXPECT_EQ(Run({Path("m")}), InterruptedStatus());
    EXPECT_THAT(Out, StartsWith("0 models: 0 converted, 0 failed"));
    EXPECT_THAT(Out, EndsWith("; interrupted, 1 model not started\n"));
    EXPECT_EQ(Tree("m"), std::vector<std::string>{"a.qm"});
}

TEST_F(Batch, ASavePathPastTheLimitGetsTheInteractiveRunsReason) {
    Put("m/a.qm", Demo);
    EXPECT_EQ(Run({"-o", Path(std::string(250, 'o')), Path("m")}), 1);
    EXPECT_THAT(Out, HasSubstr("\n    Error: the save file path is longer than 255 characters\n"));
}

TEST_F(Batch, AnOutputNameWithATildeIsComparedWithEveryModel) {
    // A Windows short name such as MODEL~1.OBJ may stand for any long name; a link stands in.
    Put("model.qm", Demo);
    fs::create_symlink(Path("model.qm"), Path("MODEL~1.OBJ"));
    ProtectedFiles Models;
    Models.Add(Path("model.qm"));
    EXPECT_EQ(Models.Match(Path("MODEL~1.OBJ")), Path("model.qm"));
    EXPECT_EQ(Models.Match(Path("model.obj")), "");
}
