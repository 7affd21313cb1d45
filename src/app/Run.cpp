// The extraction run: one fixed dialogue from banner to pause.
#include "app/Run.h"

#include <cctype>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/LoadFile.h"
#include "geometry/ObjWriter.h"
#include "model/GeometryScan.h"
#include "model/TextureScan.h"
#include "texture/TextureExport.h"

namespace {

constexpr int PathCapacity = 256;  // 255 characters and the NUL

enum class TokenResult { Read, EndOfInput, TooLong };

// Reads one whitespace-delimited token into Dest (PathCapacity bytes): white
// space before it is skipped, the white space after it stays unread. A token
// longer than 255 characters is refused rather than cut, since a cut path
// would silently name another file; it is consumed and Dest is left empty.
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
    bool TooLong = false;
    while (C != Traits::eof() && !IsSpace(C)) {
        In.get();
        if (Length < PathCapacity - 1)
            Dest[Length++] = static_cast<char>(C);
        else
            TooLong = true;
        C = In.peek();
    }
    Dest[TooLong ? 0 : Length] = '\0';
    return TooLong ? TokenResult::TooLong : TokenResult::Read;
}

// Prompts and reads a path; prints why and returns false when there is none.
bool AskPath(std::istream& In, std::ostream& Out, const char* Prompt, const char* What, char* Dest) {
    Out << Prompt << std::flush;
    switch (ReadToken(In, Dest)) {
        case TokenResult::Read:
            return true;
        case TokenResult::EndOfInput:
            Out << std::endl << "Error: input ended before a " << What << " was given" << std::endl;
            return false;
        case TokenResult::TooLong:
            Out << std::endl << "Error: the " << What << " is longer than 255 characters" << std::endl;
            return false;
    }
    return false;
}

void PrintBanner(std::ostream& Out) {
    Out << "Quennmire Model Extractor" << std::endl
        << "Ver 1.5" << std::endl
        << "qmextract: an open extractor for Quennmire model files" << std::endl
        << "Written by the qmextract project team" << std::endl
        << "Contact: qmextract-team@users.noreply.example" << std::endl
        << std::endl;
}

}  // namespace

int RunExtraction(std::istream& In, std::ostream& Out) {
    const std::unique_ptr<char[]> FilePath(new char[PathCapacity]);
    const std::unique_ptr<char[]> SavePath(new char[PathCapacity]);

    PrintBanner(Out);
    if (!AskPath(In, Out, "Quennmire model path: ", "model path", FilePath.get())) return 1;

    unsigned char* Loaded = nullptr;
    std::string Problem;
    const int BufferSize = LoadFile(FilePath.get(), Loaded, &Problem);
    const std::unique_ptr<unsigned char[]> Owned(Loaded);
    if (!Problem.empty()) Out << std::endl << Problem << std::endl;
    if (BufferSize < 0) return 1;
    unsigned char* Buffer = Owned.get();

    QMobject Model = BufferScan(Buffer, BufferSize, Out);
    int TexCount = 0;
    Texture* Textures = nullptr;
    TexturesScan(Buffer, BufferSize, TexCount, Textures, Out);

    Out << std::endl
        << "File object(s) will be saved as Wavefront Object(s) (*.OBJ)." << std::endl
        << "File texture(s) will be saved as Bitmap(s) 32 bits (*.BMP)." << std::endl
        << "Please enter save file path, without extension." << std::endl
        << std::endl;
    if (!AskPath(In, Out, "Save file path: ", "save file path", SavePath.get())) {
        ReleaseModel(Model);
        ReleaseTextures(Textures);
        return 1;
    }

    std::vector<std::string> Failed;
    Out << std::endl << "Saving objects..." << std::endl;
    SaveOBJ(SavePath.get(), Model, &Failed);
    Out << "Saving textures..." << std::endl;
    SaveTextures(SavePath.get(), TexCount, Textures, Buffer, BufferSize, &Failed, Out);

    if (Failed.empty())
        Out << "Save has been done successfully." << std::endl;
    else
        for (const std::string& Name : Failed) Out << "Error: could not write " << Name << std::endl;
    Out << std::endl << "Press Enter to exit" << std::endl;

    In.get();
    In.get();
    ReleaseModel(Model);
    ReleaseTextures(Textures);
    return Failed.empty() ? 0 : 1;
}
