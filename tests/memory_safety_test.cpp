// Every prefix of the seed models, each in an exact-size buffer, and every file of the fuzz corpus,
// through the fuzz target's exercise function: its bounds, and its OBJ text against the reference
// writer's.
#include <gtest/gtest.h>

#include <filesystem>

#include "Exercise.h"
#include "ModelBuilder.h"

TEST(MemorySafety, EveryPrefixOfTheSeedModelsAndEveryCorpusFile) {
    std::vector<std::vector<uint8_t>> Files{DemoModel().Build(), EdgeModel().Build()};
    for (const auto& Entry : std::filesystem::directory_iterator(QM_CORPUS))
        Files.push_back(ReadFileBytes(Entry.path().string()));
    // The two seed models whole and cut, the corpus files whole.
    for (size_t f = 0; f < Files.size(); f++)
        for (size_t Size = f < 2 ? 0 : Files[f].size(); Size <= Files[f].size(); Size++)
            ExerciseModel(Files[f].data(), Size);
}
