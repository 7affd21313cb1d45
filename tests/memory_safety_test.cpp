// Every prefix of the seed models, each in an exact-size buffer, through the fuzz targets' exercise function.
#include <gtest/gtest.h>

#include "Exercise.h"
#include "ModelBuilder.h"

TEST(MemorySafety, EveryPrefixOfTheSeedModelsStaysInsideItsBuffer) {
    for (const ModelBuilder& Model : {DemoModel(), EdgeModel()}) {
        const std::vector<uint8_t> Bytes = Model.Build();
        uint64_t Obj = 0;
        for (size_t Size = 0; Size <= Bytes.size(); Size++) Obj += ExerciseModel(Bytes.data(), Size).ObjBytes;
        EXPECT_GT(Obj, 0u);
    }
}
