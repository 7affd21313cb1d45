// The extraction run: one fixed dialogue from banner to pause.
#include "app/Run.h"

#include <cctype>
#include <istream>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "app/LoadFile.h"
#include "geometry/ObjWriter.h"
#include "io/OutputFile.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"
#include "texture/TextureExport.h"

namespace {

constexpr int PathCapacity = 256;  // 255 characters and the NUL

enum class TokenResult { Read, EndOfInput, TooLong, HasNul };

// Reads one whitespace-delimited token into Dest (PathCapacity bytes): white
// space before it is skipped, the white space after it stays unread. A token
// longer than 255 characters, or holding a NUL character, is refused rather
// than cut, since a cut path would silently name another file; it is consumed
// and Dest is left empty.
TokenResult ReadToken(std::istream& In, char* Dest) {
    using Traits = std::istream::traits_type;
    auto IsSpace = [](int C) { return std::isspace(static_cast<unsigned char>(C)) != 0; };
    int C = In.peek();
    while (C != Traits::eof() && IsSpace(C)) {
        In.get();
        C = In.peek();
    }
    if (C == Traits::eof()) return TokenResult::EndOfInput;
    int Length = 0;
    bool TooLong = false, HasNul = false;
    while (C != Traits::eof() && !IsSpace(C)) {
        In.get();
        HasNul = HasNul || C == 0;
        if (Length < PathCapacity - 1)
            Dest[Length++] = static_cast<char>(C);
        else
            TooLong = true;
        C = In.peek();
    }
    Dest[TooLong || HasNul ? 0 : Length] = '\0';
    return TooLong ? TokenResult::TooLong : HasNul ? TokenResult::HasNul : TokenResult::Read;
}

// Prompts and reads a path; when there is none, ends the prompt's line and
// sets Problem to the error line.
bool AskPath(std::istream& In, std::ostream& Out, const char* Prompt, const char* What, char* Dest,
             std::string& Problem) {
    Out << Prompt << std::flush;
    const TokenResult Result = ReadToken(In, Dest);
    if (Result == TokenResult::Read) return true;
    Out << std::endl;
    const std::string Name = What;
    Problem =
        Result == TokenResult::EndOfInput ? "Error: input ended before a " + Name + " was given"
        : Result == TokenResult::TooLong  ? "Error: the " + Name + " is longer than 255 characters"
                                          : "Error: the " + Name + " contains a NUL character";
    return false;
}

void PrintBanner(std::ostream& Out) {
    Out << "Quennmire Model Extractor" << std::endl
        << "Ver " QM_VERSION_SHORT << std::endl
        << "qmextract: an open extractor for Quennmire model files" << std::endl
        << "Written by the qmextract project team" << std::endl
        << "Contact: qmextract-team@users.noreply.example" << std::endl
        << std::endl;
}

// The end of every run: the lines given, an empty line, "Press Enter to exit"
// and a pause of two characters (the line end after the last path, then the
// user's Enter; at the end of input it returns at once). A console window
// opened for the tool therefore stays until the user has read the outcome.
int Finish(std::istream& In, std::ostream& Out, const std::vector<std::string>& Errors) {
    for (const std::string& Line : Errors) Out << Line << std::endl;
    Out << std::endl << "Press Enter to exit" << std::endl;
    In.get();
    In.get();
    // A console that could not be written is a failure too.
    return Errors.empty() && Out.flush() ? 0 : 1;
}

}  // namespace

int RunExtraction(std::istream& In, std::ostream& Out) {
    const std::unique_ptr<char[]> FilePath(new char[PathCapacity]);
    const std::unique_ptr<char[]> SavePath(new char[PathCapacity]);
    std::string Problem;

    PrintBanner(Out);
    if (!AskPath(In, Out, "Quennmire model path: ", "model path", FilePath.get(), Problem))
        return Finish(In, Out, {Problem});

    unsigned char* Loaded = nullptr;
    const int BufferSize = LoadFile(FilePath.get(), Loaded, &Problem);
    const std::unique_ptr<unsigned char[]> Owned(Loaded);
    if (BufferSize < 0) return Finish(In, Out, {"", Problem});
    if (!Problem.empty()) Out << std::endl << Problem << std::endl;
    unsigned char* Buffer = Owned.get();
    OutputFile::Protect(FilePath.get());

    QMobject Model{};
    int TexCount = 0;
    Texture* Textures = nullptr;
    std::vector<std::string> Failed;
    try {
        Model = BufferScan(Buffer, BufferSize, Out);
        TexturesScan(Buffer, BufferSize, TexCount, Textures, Out);
    } catch (const std::bad_alloc&) {
        ReleaseModel(Model);
        return Finish(
            In, Out,
            {"", "Error: not enough memory to analyse model file " + std::string(FilePath.get())});
    }

    Out << std::endl
        << "File object(s) will be saved as Wavefront Object(s) (*.OBJ)." << std::endl
        << "File texture(s) will be saved as Bitmap(s) 32 bits (*.BMP)." << std::endl
        << "Please enter save file path, without extension." << std::endl
        << std::endl;
    if (AskPath(In, Out, "Save file path: ", "save file path", SavePath.get(), Problem)) {
        Out << std::endl << "Saving objects..." << std::endl;
        SaveOBJ(SavePath.get(), Model, &Failed);
        Out << "Saving textures..." << std::endl;
        SaveTextures(SavePath.get(), TexCount, Textures, Buffer, BufferSize, &Failed, Out);
        if (Failed.empty()) Out << "Save has been done successfully." << std::endl;
        for (std::string& Line : Failed) Line = "Error: could not write " + Line;
    } else {
        Failed = {Problem};
    }
    ReleaseModel(Model);
    ReleaseTextures(Textures);
    return Finish(In, Out, Failed);
}
