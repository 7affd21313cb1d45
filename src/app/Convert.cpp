// The conversion of one model file, shared by the interactive run and the batch converter.
#include "app/Convert.h"

#include <cstring>
#include <new>
#include <ostream>

#include "app/LoadFile.h"
#include "app/Platform.h"
#include "geometry/ObjWriter.h"
#include "io/Paths.h"
#include "texture/TextureExport.h"

std::string SavePathError(const std::string& SavePath, int TexCount) {
    if (CountCharacters(SavePath) > PathCharacters)
        return "Error: the save file path is longer than 255 characters";
    const std::string Unfit = SaveTargetProblem(SavePath, TexCount, HostNameLimits());
    return Unfit.empty() ? "" : "Error: the save file path " + ShownPath(SavePath) + " " + Unfit;
}

LoadedModel::~LoadedModel() {
    ReleaseModel(Model);
    ReleaseTextures(Textures);
}

ConversionResult ConvertModel(const std::string& ModelPath, const SavePathSource& Ask,
                              std::ostream& Report, std::ostream& Messages, OutputPolicy Policy) {
    ConversionResult Result;
    Result.Stage = ConversionStage::Load;
    LoadedModel Loaded;
    std::string Problem;
    unsigned char* Bytes = nullptr;
    Loaded.BufferSize = LoadFile(ModelPath.c_str(), Bytes, &Problem);
    Loaded.Buffer.reset(Bytes);
    if (Loaded.BufferSize < 0) {
        Result.Errors = {Problem};
        return Result;
    }
    if (!Problem.empty()) Messages << std::endl << Problem << std::endl;
    Result.BytesRead = Loaded.BufferSize;

    Result.Stage = ConversionStage::Analyse;
    unsigned char* Buffer = Loaded.Buffer.get();
    try {
        Loaded.Model = BufferScan(Buffer, Loaded.BufferSize, Report);
        TexturesScan(Buffer, Loaded.BufferSize, Loaded.TexCount, Loaded.Textures, Report);
    } catch (const std::bad_alloc&) {
        Result.Errors = {"Error: not enough memory to analyse model file " + ShownPath(ModelPath)};
        return Result;
    }
    Result.Objects = Loaded.Model.Objects;
    Result.Textures = Loaded.TexCount;

    Result.Stage = ConversionStage::SavePath;
    std::string Save;
    if (!Ask(Loaded.TexCount, Save, Problem)) {
        Result.Errors = {Problem};
        return Result;
    }
    // The writers take the save path in an array of PathCapacity bytes.
    if (Save.size() >= PathCapacity) {
        Result.Errors = {"Error: the save file path is longer than 255 characters"};
        return Result;
    }
    const std::unique_ptr<char[]> SavePath(new char[PathCapacity]);
    std::memcpy(SavePath.get(), Save.c_str(), Save.size() + 1);

    Result.Stage = ConversionStage::Write;
    Policy.Written = &Result.BytesWritten;
    std::vector<std::string> Failed;
    Report << std::endl << "Saving objects..." << std::endl;
    SaveOBJ(SavePath.get(), Loaded.Model, &Failed, Policy);
    Report << "Saving textures..." << std::endl;
    SaveTextures(SavePath.get(), Loaded.TexCount, Loaded.Textures, Buffer, Loaded.BufferSize,
                 &Failed, Messages, Policy);
    if (Failed.empty()) Report << "Save has been done successfully." << std::endl;
    for (const std::string& Line : Failed)
        Result.Errors.push_back("Error: could not write " + Line);
    return Result;
}
