// One model file through load, analysis, save path and outputs: the steps that the interactive
// run and the batch converter share.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "io/OutputFile.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"

// The model file in memory and what the scans made of it, released together
// however the conversion ends.
struct LoadedModel {
    LoadedModel() = default;
    ~LoadedModel();
    LoadedModel(const LoadedModel&) = delete;
    LoadedModel& operator=(const LoadedModel&) = delete;

    std::unique_ptr<unsigned char[]> Buffer;
    int BufferSize = 0;
    QMobject Model{};
    int TexCount = 0;
    Texture* Textures = nullptr;
};

// How far a conversion got.
enum class ConversionStage {
    Start,     // refused before the model file was read
    Load,      // the model file could not be read
    Analyse,   // the scans ran out of memory
    SavePath,  // no usable save path was given
    Write,     // every output was tried; see Errors for those not written
};

struct ConversionResult {
    ConversionStage Stage = ConversionStage::Start;
    std::vector<std::string> Errors;  // "Error: ..." lines; empty when every output was written
    int Objects = 0;
    int Textures = 0;
    int64_t BytesRead = 0;
    int64_t BytesWritten = 0;

    bool Converted() const { return Stage == ConversionStage::Write && Errors.empty(); }
};

// Asked once the model is analysed, with its texture count: returns true with
// SavePath set, or false with Problem set to the "Error: ..." line that says
// why there is none.
using SavePathSource =
    std::function<bool(int TexCount, std::string& SavePath, std::string& Problem)>;

// The "Error: ..." line that refuses SavePath as the save path of a model of
// TexCount textures on this host, or "" when it can take every output: at
// most 255 characters, and SaveTargetProblem's rules with the host's limits.
std::string SavePathError(const std::string& SavePath, int TexCount);

// Converts the model file ModelPath: loads it whole, scans it (the report and
// the "Saving ..." lines go to Report), takes the save path from Ask, and
// writes the OBJ file and one BMP file per texture under Policy (OutputFile).
// The loader's warning and the image class's warnings and errors go to
// Messages. Ask checks the save path (SavePathError) as it asks.
ConversionResult ConvertModel(const std::string& ModelPath, const SavePathSource& Ask,
                              std::ostream& Report, std::ostream& Messages,
                              OutputPolicy Policy = {});
