// The whole run in process: transcripts, exit codes and the files left behind. (The real binary's
// sample session, failed writes and the Windows paths are checked by e2e/smoke.sh.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>

#include "ModelBuilder.h"
#include "app/Answers.h"
#include "app/Interrupts.h"
#include "app/Run.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

namespace fs = std::filesystem;

namespace {

// The sample session's transcript: the banner ends at the first prompt, the save dialogue starts at
// "File object".
const std::vector<uint8_t> DemoBytes = ReadFileBytes(QM_EXPECTED "/demo.txt");
const std::string Demo(DemoBytes.begin(), DemoBytes.end());
const std::string Banner = Demo.substr(0, Demo.find("path: ") + 6);
const std::string Pause = "\nPress Enter to exit\n";
const std::string AskedToEnd = Demo.substr(Demo.find("\nFile object"));
const std::string Sample = QM_SAMPLES "/demo.qm";
const std::vector<std::string> SampleOutputs = {"a.obj", "a_tex0.bmp", "a_tex1.bmp", "a_tex2.bmp"};

struct Dialogue : testing::Test {
    fs::path Dir = fs::path(testing::TempDir()) /
                   testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string Left;  // the input the run did not read

    void SetUp() override {
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }
    std::string Path(const std::string& Name) const { return (Dir / Name).string(); }

    // One run on Input, which must end with Status.
    std::string Run(const std::string& Input, int Status) {
        std::istringstream In(Input);
        std::ostringstream Out;
        EXPECT_EQ(RunExtraction(In, Out), Status) << Input;
        Left = In.rdbuf()->in_avail() > 0 ? In.str().substr(static_cast<size_t>(In.tellg())) : "";
        return Out.str();
    }
    // The files in Folder (by default the test's own), sorted.
    std::vector<std::string> Files(const std::string& Folder = "") const {
        std::vector<std::string> Names;
        for (const auto& E : fs::directory_iterator(Dir / Folder))
            Names.push_back(E.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }
};

// Text between two Q quotes.
std::string Quote(char Q, const std::string& Text) {
    std::string Quoted(1, Q);
    Quoted += Text;
    Quoted += Q;
    return Quoted;
}

// Input as UTF-16 little-endian with its byte-order mark (ASCII text only).
std::string Utf16(const std::string& Text) {
    std::string Out = "\xFF\xFE";
    for (const char C : Text) {
        Out += C;
        Out += '\0';
    }
    return Out;
}

// Input as UTF-16 big-endian without a byte-order mark (ASCII text only).
std::string Utf16Big(const std::string& Text) {
    std::string Out;
    for (const char C : Text) {
        Out += '\0';
        Out += C;
    }
    return Out;
}

}  // namespace

TEST_F(Dialogue, AModelPathThatCannotBeReadEndsTheRunWithItsReason) {
    const std::pair<std::string, std::string> Cases[] = {
        {"", "Error: input ended before a model path was given"},
        {Dir.string() + "\nx\n", "Error: model file " + Dir.string() + " is a folder"},
        {"/dev/zero\nx\n", "Error: model file /dev/zero is not a regular file"},
        {Path("huge") + "\nx\n", "Error: model file " + Path("huge") + " is larger than 2 GiB"},
        {"\" m\"\nx\n", "Error: cannot open model file \" m\": No such file or directory"},
        {Path("m") + "\nx\n",
         "Error: cannot open model file " + Path("m") + ": No such file or directory"}};
    WriteFileBytes(Path("huge"), {});
    fs::resize_file(Path("huge"), uint64_t{1} << 31);  // sparse: no disk space taken
    for (const auto& [Input, Line] : Cases)
        EXPECT_EQ(Run(Input, 1), Banner + "\n" + Line + "\n" + Pause);
    fs::remove(Path("huge"));
    EXPECT_TRUE(Files().empty());
}

TEST_F(Dialogue, ThePauseAfterAnErrorWaitsForALineOfItsOwn) {
    Run(Path("m") + "\nab\ncd", 1);
    EXPECT_EQ(Left, "cd");
}

TEST_F(Dialogue, BlankLinesBeforeEachAnswerAreSkippedAndThePauseDropsTheRestOfTheLine) {
    EXPECT_EQ(Run("\n\n" + Sample + " \n\n" + Path("a") + "  \nnext\nafter", 0), Demo);
    EXPECT_EQ(Left, "after");
    EXPECT_EQ(Files(), SampleOutputs);
}

TEST_F(Dialogue, TheModelAndTheSavePathMayShareALine) {
    EXPECT_EQ(Run(Sample + " " + Path("a") + "\n", 0), Demo);
    EXPECT_EQ(Files(), SampleOutputs);
}

TEST_F(Dialogue, AnEmptyModelFileGivesEmptyReportsAndAnObjOfCommentsOnly) {
    WriteFileBytes(Path("empty"), {});
    EXPECT_EQ(Run(Path("empty") + "\n" + Path("e") + "\n", 0),
              Banner + "\nObjects count : 0\n\nTextures count: 0\n" + AskedToEnd);
}

TEST_F(Dialogue, AModelPathOf255CharactersIsTakenAndOneMoreIsRefused) {
    std::string Long = Sample;  // the same file, named with more slashes
    Long.insert(Long.rfind('/'), 255 - Long.size(), '/');
    EXPECT_EQ(Run(Long + "\n" + Path("b") + "\n", 0), Demo);
    EXPECT_EQ(Run("/" + Long + "\nx\n", 1),
              Banner + "\nError: the model path is longer than 255 characters\n" + Pause);
}

// Paths with blanks, quoted or not, byte-order marks, UTF-16 and names in two-byte characters.
TEST_F(Dialogue, PathsAreTakenAsPeopleHandThemOver) {
    for (const char* Name : {"my models/demo.qm", "it's.qm", "'q.qm", "x"}) {
        fs::create_directories(fs::path(Path(Name)).parent_path());
        fs::copy_file(Sample, Path(Name));
    }
    fs::create_directory(Path("my out"));
    // 255 characters in all, two bytes each past the test's folder.
    std::string Cyrillic;
    for (int k = 0; k < 100; k++) Cyrillic += "\xD0\xB6";
    fs::create_directory(Path(Cyrillic));
    Cyrillic += "/";
    while (CountCharacters(Path(Cyrillic)) < 255) Cyrillic += "\xD0\xB6";
    const std::string Models = Path("my models/demo.qm");
    const std::pair<std::string, std::string> Cases[] = {
        {Quote('"', Models) + "\n" + Quote('"', Path("my out/a")) + "\n", "my out/a"},
        {Quote('\'', Models) + " \n  " + Path("my out/b") + "  \n", "my out/b"},
        {Models + "\n" + Path("my out/c") + "\n", "my out/c"},
        {Quote('\'', Path("it'\\''s.qm")) + "\n" + Quote('\'', Path("d")) + "\\''e'\n", "d'e"},
        {Quote('"', Path("'q.qm")) + " " + Quote('\'', Path("my out/e")) + "\n", "my out/e"},
        {Path("x") + " " + Path("y z") + "\n", "y z"},
        {"\xEF\xBB\xBF" + Sample + "\n" + Path("f") + "\n", "f"},
        // UTF-16 with a euro sign and, as a surrogate pair, a face.
        {Utf16(Sample + "\r\n" + Path("g")) + std::string("\xAC\x20\x3D\xD8\x00\xDE\r\0\n\0", 10),
         "g\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {Utf16(Sample + "\r\n" + Path("h") + "\r\n").substr(2), "h"},
        {Utf16Big(Sample + "\n" + Path("i") + "\n"), "i"},
        {Sample + "\n" + Path(Cyrillic) + "\n", Cyrillic}};
    for (const auto& [Input, Name] : Cases) {
        EXPECT_EQ(Run(Input, 0), Demo) << Input;
        EXPECT_TRUE(fs::exists(Path(Name + "_tex2.bmp"))) << Name;
    }
    EXPECT_EQ(Files("my out").size(), 16u);
}

TEST_F(Dialogue, ASavePathOf256CharactersIsRefusedHoweverFewItsBytes) {
    std::string Cyrillic;
    while (CountCharacters(Path(Cyrillic)) < 256) Cyrillic += "\xD0\xB6";
    EXPECT_THAT(
        Run(Sample + "\n" + Path(Cyrillic) + "\n", 1),
        testing::EndsWith("Error: the save file path is longer than 255 characters\n" + Pause));
}

TEST_F(Dialogue, SavePathsThatCannotNameAFileAreRefusedBeforeAnythingIsWritten) {
    const std::pair<std::string, std::string> Cases[] = {
        {Path("sub/"),
         Path("sub/") + " names a folder; add a name for the files, as in " + Path("sub/model")},
        {".", ". names a folder; add a name for the files, as in ./model"},
        {"out/..", "out/.. names a folder; add a name for the files, as in out/../model"},
        {"\"out", "opens a quote that its line does not close"},
        {"\"\"", "is empty"},
        {Path("s") + '\0' + "x", "contains a NUL character; save the answers as UTF-8"},
        {Path("nodir/out"),
         Path("nodir/out") + " is in the folder " + Path("nodir") + ", which does not exist"},
        {Sample + "/out", Sample + "/out is in " + Sample + ", which is not a folder"},
        {"  ", "input ended before a save file path was given"},
        {std::string(AnswerReader::MaxLine, ' ') + "x", "is longer than 255 characters"}};
    for (const auto& [Answer, Problem] : Cases) {
        const std::string Line = Problem.starts_with("input")
                                     ? "Error: " + Problem
                                     : "Error: the save file path " + Problem;
        EXPECT_EQ(Run(Sample + "\n" + Answer + "\n", 1),
                  Demo.substr(0, Demo.find("\nSaving")) + "\n" + Line + "\n" + Pause);
    }
    EXPECT_TRUE(Files().empty());
}

TEST(Paths, WindowsRulesRefuseDevicesCharactersAndTrailingDotsInTheLastPart) {
    const std::pair<const char*, const char*> Windows[] = {
        {"con", "is a Windows device name; choose another name"},
        {"out\\Com1.x", "is a Windows device name; choose another name"},
        {"C:lpt9 .x", "is a Windows device name; choose another name"},
        {"AUX", "is a Windows device name; choose another name"},
        {"nul.tar.gz", "is a Windows device name; choose another name"},
        {"prn", "is a Windows device name; choose another name"},
        {"a*b", "holds the character *, which Windows does not allow in a file name"},
        {"out/a:b", "holds the character :, which Windows does not allow in a file name"},
        {"a\tb", "holds a control character, which Windows does not allow in a file name"},
        {"out.", "ends in a dot, which Windows drops from file names"},
        {"out ", "ends in a blank, which Windows drops from file names"},
        {"C:\\x\\", "names a folder; add a name for the files, as in C:\\x\\model"},
        {"C:", "names a folder; add a name for the files, as in C:\\model"},
        {".", "names a folder; add a name for the files, as in .\\model"},
        {"out/..", "names a folder; add a name for the files, as in out/../model"},
        {"CONIN$", "is a Windows device name; choose another name"},
        {"out\\conout$.txt", "is a Windows device name; choose another name"},
        {"COM\xC2\xB9", "is a Windows device name; choose another name"},
        {"lpt\xC2\xB3.x", "is a Windows device name; choose another name"},
        {"com\xE2\x81\xB4", ""},
        {"conin", ""},
        {"C:\\x\\conx", ""},
        {"C:com0", ""},
        {"lpt10.x", ""}};
    for (const auto& [Answer, Problem] : Windows)
        EXPECT_EQ(SavePathProblem(Answer, true), Problem) << Answer;
}

TEST(Paths, ElsewhereOnlyANameForAFolderIsRefused) {
    EXPECT_EQ(SavePathProblem("a*b:con.", false), "");
    EXPECT_EQ(SavePathProblem("out\\", false),
              "names a folder; add a name for the files, as in out\\model");
}

TEST(Paths, WellFormedUtf8IsToldFromEveryIllFormedKind) {
    const std::pair<const char*, bool> Texts[] = {
        {"a\xE2\x82\xAC\xF0\x9F\x98\x80", true},  // three bytes, four bytes
        {"\xDF\xBF", true},                       // the last two-byte lead
        {"\xFF"
         "a",
         false},
        {"\xC0\x80", false},          // overlong
        {"\xED\xA0\x80", false},      // a surrogate
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
        {"a\xE2\x82", false}};        // cut short
    for (const auto& [Text, Valid] : Texts) EXPECT_EQ(IsUtf8(Text), Valid) << Text;
}

TEST(Paths, CharactersAreCountedAsUtf8OrElseAsBytes) {
    EXPECT_EQ(CountCharacters("a\xE2\x82\xAC\xF0\x9F\x98\x80"), 3u);
    EXPECT_EQ(CountCharacters("\xFF\xD0\xB6"), 3u);  // not UTF-8: bytes
}

TEST(Paths, TextWrittenInPiecesWaitsForTheEndOfACharacterItHoldsInPart) {
    EXPECT_EQ(WholeUtf8Prefix("ab"), 2u);
    EXPECT_EQ(WholeUtf8Prefix("a\xE2\x82"), 1u);
    EXPECT_EQ(WholeUtf8Prefix("a\xE2\x82\xAC"), 4u);
    EXPECT_EQ(WholeUtf8Prefix("\xF0\x9F\x98"), 0u);
}

TEST_F(Dialogue, AnOutputNamedAsTheModelFileIsNotWrittenAndTheRunFails) {
    fs::copy_file(Sample, Path("m.obj"));
    const std::string Line = "Error: could not write " + Path("m.obj") + ": it is the model file\n";
    EXPECT_THAT(Run(Path("m.obj") + "\n" + Path("m") + "\n", 1),
                testing::EndsWith("\nSaving textures...\n" + Line + Pause));
    EXPECT_EQ(ReadFileBytes(Path("m.obj")), ReadFileBytes(Sample));
    EXPECT_EQ(Files().size(), 4u);  // the model and three textures
}

TEST_F(Dialogue, AConsoleThatCannotBeWrittenFailsTheRun) {
    std::istringstream In(Sample + "\n" + Path("c") + "\n");
    std::ostream Broken(nullptr);  // every write fails
    EXPECT_EQ(RunExtraction(In, Broken), 1);
    EXPECT_TRUE(fs::exists(Dir / "c.obj"));
}

// Run in the test's folder, so that a save name can reach the system's limit within 255 characters.
TEST_F(Dialogue, ASaveNameWhoseOutputsPassTheNameLimitIsRefusedBeforeAnythingIsWritten) {
    const fs::path Back = fs::current_path();
    fs::current_path(Dir);
    const std::string Long(247, 'n');
    const std::string Refused = Run(Sample + "\n" + Long + "\n", 1);
    const std::string Fits = Run(Sample + "\n" + Long.substr(1) + "\n", 0);
    fs::current_path(Back);
    EXPECT_THAT(Refused, testing::EndsWith(
                             "\nError: the save file path " + Long +
                             " is too long for its outputs: the file name " + Long +
                             "_tex2.bmp has 256 bytes, 1 more than a name may have\n" + Pause));
    EXPECT_EQ(Fits, Demo);
    EXPECT_EQ(Files().size(), 4u);  // the outputs of the name that fits
}

TEST(Paths, OutputNamesAndWholePathsAreMeasuredInTheHostsUnits) {
    const NameLimits Bytes{255, 0, false}, Units{255, 0, true};
    EXPECT_EQ(NameLength("a\xD0\xB6\xF0\x9F\x98\x80", Bytes), 7u);
    EXPECT_EQ(NameLength("a\xD0\xB6\xF0\x9F\x98\x80", Units), 4u);  // a surrogate pair is two
    std::string Cyrillic;
    for (int k = 0; k < 124; k++) Cyrillic += "\xD0\xB6";
    EXPECT_EQ(SaveTargetProblem(Cyrillic, 3, Units, false), "");
    EXPECT_THAT(SaveTargetProblem(Cyrillic, 3, Bytes, false),
                testing::EndsWith("_tex2.bmp has 257 bytes, 2 more than a name may have"));
}

TEST(Paths, AWholePathPastThePlatformsLimitIsRefusedWithTheExcess) {
    const std::string Whole = Utf8Text(fs::absolute("x_tex0.bmp"));
    const NameLimits Windows{255, Whole.size() - 2, true};
    EXPECT_EQ(SaveTargetProblem("x", 1, Windows, false),
              "is too long for its outputs: the path " + Whole + " has " +
                  std::to_string(Whole.size()) +
                  " characters, 2 more than a path may have on this system");
    EXPECT_EQ(SaveTargetProblem("x", 0, Windows, false), "");  // x.obj is shorter
}

TEST_F(Dialogue, AMistypedPathWithBlanksIsReportedAsTyped) {
    fs::create_directory(Path("my models"));
    fs::copy_file(Sample, Path("my models/demo.qm"));
    const std::string Typo = Path("my models/heor.qm");
    EXPECT_EQ(Run(Typo + "\nx\n", 1), Banner + "\nError: cannot open model file " + Typo +
                                          ": No such file or directory\n" + Pause);
    EXPECT_EQ(Run(Path("my models") + "\nx\n", 1),
              Banner + "\nError: model file " + Path("my models") + " is a folder\n" + Pause);
}

TEST_F(Dialogue, ASecondRunReplacesEveryOutput) {
    EXPECT_EQ(Run(Sample + "\n" + Path("first") + "\n", 0), Demo);
    for (const std::string& Name : SampleOutputs) WriteFileBytes(Path(Name), {'o', 'l', 'd'});
    EXPECT_EQ(Run(Sample + "\n" + Path("a") + "\n", 0), Demo);
    for (const std::string& Name : SampleOutputs)
        EXPECT_EQ(ReadFileBytes(Path(Name)), ReadFileBytes(Path("first" + Name.substr(1))));
}

TEST_F(Dialogue, AnInterruptLeavesNoTemporaryFileAndKeepsTheEarlierOutput) {
    WriteFileBytes(Path("x.obj"), {'o', 'l', 'd'});
    // The signal arrives while the file is half written.
    EXPECT_EXIT(
        {
            static TempSlot Pending;
            std::signal(SIGINT, SIG_DFL);
            HandleInterrupts(&Pending, 1);
            OutputFile File(Path("x.obj"), {nullptr, nullptr, &Pending});
            File.Stream() << "half";
            std::raise(SIGINT);
        },
        testing::KilledBySignal(SIGINT), "");
    EXPECT_EQ(Files(), std::vector<std::string>{"x.obj"});
    EXPECT_EQ(ReadFileBytes(Path("x.obj")).size(), 3u);
}

TEST_F(Dialogue, AFirstInterruptOnlyAsksToStopWhenTheProgramCanStopByItself) {
    EXPECT_EXIT(
        {
            static TempSlot Pending;
            static std::atomic<bool> Stop{false};
            std::signal(SIGINT, SIG_DFL);
            HandleInterrupts(&Pending, 1, &Stop);
            OutputFile File(Path("x.obj"), {nullptr, nullptr, &Pending});
            std::raise(SIGINT);
            EndIfSignalled();  // the first one only asks to stop
            if (!Stop.load() || !File.Commit()) std::exit(3);
            OutputFile Next(Path("y.obj"), {nullptr, nullptr, &Pending});
            std::raise(SIGINT);
            EndIfSignalled();
            std::exit(4);
        },
        testing::KilledBySignal(SIGINT), "");
    EXPECT_EQ(Files(), std::vector<std::string>{"x.obj"});
}

TEST(Interrupts, NoTemporaryFileIsCreatedOnceTheProgramIsEnding) {
    TempSlot Pending;
    Pending.Now = TempSlot::Closed;
    OutputFile File(testing::TempDir() + "closed.obj", {nullptr, nullptr, &Pending});
    EXPECT_FALSE(File.IsOpen());
    EXPECT_EQ(File.Reason(), "the program is ending");
}

TEST(Interrupts, AnInterruptThatTheProgramWasStartedToIgnoreStaysIgnored) {
    EXPECT_EXIT(
        {
            static TempSlot Pending;
            std::signal(SIGINT, SIG_IGN);
            HandleInterrupts(&Pending, 1);
            std::raise(SIGINT);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

namespace {

// The save path that AnswerReader makes of Units, given as UTF-16LE with its mark and a line end;
// "" when the answer is refused.
std::string SavePathOf(const std::u16string& Units) {
    std::string Bytes = "\xFF\xFE";
    for (const char16_t U : Units + u"\n") {
        Bytes += static_cast<char>(U & 0xFF);
        Bytes += static_cast<char>(U >> 8);
    }
    std::istringstream In(Bytes);
    AnswerReader Answers(In);
    std::string Path;
    return Answers.SavePath(Path) == AnswerReader::Result::Read ? Path : "";
}

}  // namespace

TEST(Answers, Utf16IsHandedOnAsUtf8AtEveryLengthBoundary) {
    EXPECT_EQ(SavePathOf(u"a\u07FF"), "a\xDF\xBF");
    EXPECT_EQ(SavePathOf(u"a\u0800"), "a\xE0\xA0\x80");
}

TEST(Answers, ALoneSurrogateBecomesTheReplacementCharacter) {
    EXPECT_EQ(SavePathOf(u"a\xDC00"), "a\xEF\xBF\xBD");
}

TEST(Answers, ANulAfterALoneHighSurrogateIsStillRefused) {
    EXPECT_EQ(SavePathOf(std::u16string(u"a\xD800") + u'\0'), "");
}

TEST(Paths, TheSmallestTwoAndThreeByteCharactersAreUtf8) {
    EXPECT_TRUE(IsUtf8("\xC2\x80"));
    EXPECT_TRUE(IsUtf8("\xE0\xA0\x80"));
}
