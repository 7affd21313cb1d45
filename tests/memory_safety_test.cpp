// Every prefix of the seed models, each in an exact-size buffer, and every file of the fuzz corpus,
// through the fuzz target's exercise function: each output under its bound, and the OBJ text the
// reference writer's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "Exercise.h"
#include "ModelBuilder.h"

namespace {

// The first prefix of Bytes that fails a check, and what it broke; empty when none does.
std::string FirstBrokenPrefix(const std::vector<uint8_t>& Bytes) {
    for (size_t Size = 0; Size <= Bytes.size(); Size++) {
        const std::vector<std::string> Broken = ExerciseModel(Bytes.data(), Size).Broken;
        if (!Broken.empty()) return "cut to " + std::to_string(Size) + " bytes: " + Broken[0];
    }
    return "";
}

std::vector<std::string> CorpusFiles() {
    std::vector<std::string> Names;
    for (const auto& Entry : std::filesystem::directory_iterator(QM_CORPUS))
        Names.push_back(Entry.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

}  // namespace

TEST(MemorySafety, EveryPrefixOfTheDemoModelKeepsTheBoundsAndTheReference) {
    EXPECT_EQ(FirstBrokenPrefix(DemoModel().Build()), "");
}

TEST(MemorySafety, EveryPrefixOfTheEdgeModelKeepsTheBoundsAndTheReference) {
    EXPECT_EQ(FirstBrokenPrefix(EdgeModel().Build()), "");
}

// Each file is named after what it once broke; a failure names it (GetParam()).
class CorpusFile : public testing::TestWithParam<std::string> {};

TEST_P(CorpusFile, KeepsTheBoundsAndTheReference) {
    const std::vector<uint8_t> Bytes = ReadFileBytes(QM_CORPUS "/" + GetParam());
    EXPECT_THAT(ExerciseModel(Bytes.data(), Bytes.size()).Broken, testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(MemorySafety, CorpusFile, testing::ValuesIn(CorpusFiles()));
