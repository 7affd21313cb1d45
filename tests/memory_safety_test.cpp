// Every prefix of the seed models, each in an exact-size buffer, and every file of the fuzz corpus,
// through the fuzz target's exercise function: each output under its bound, and the OBJ text the
// reference writer's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "Exercise.h"
#include "ModelBuilder.h"

TEST(MemorySafety, EveryPrefixOfTheSeedModelsKeepsTheBoundsAndTheReference) {
    for (const std::vector<uint8_t>& Bytes : {DemoModel().Build(), EdgeModel().Build()})
        for (size_t Size = 0; Size <= Bytes.size(); Size++)
            ASSERT_THAT(ExerciseModel(Bytes.data(), Size).Broken, testing::IsEmpty())
                << "cut to " << Size << " of " << Bytes.size() << " bytes";
}

// Each file is named after what it once broke.
TEST(MemorySafety, EveryCorpusFileKeepsTheBoundsAndTheReference) {
    for (const auto& Entry : std::filesystem::directory_iterator(QM_CORPUS)) {
        const std::vector<uint8_t> Bytes = ReadFileBytes(Entry.path().string());
        EXPECT_THAT(ExerciseModel(Bytes.data(), Bytes.size()).Broken, testing::IsEmpty())
            << Entry.path().filename();
    }
}
