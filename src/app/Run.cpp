// The extraction run: one fixed dialogue from banner to pause.
#include "app/Run.h"

#include <cstring>
#include <exception>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/Answers.h"
#include "app/Convert.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

namespace {

// The error line for an answer that cannot serve as a path.
std::string AnswerProblem(AnswerReader::Result Result, const std::string& What) {
    using R = AnswerReader::Result;
    switch (Result) {
        case R::EndOfInput:
            return "Error: input ended before a " + What + " was given";
        case R::TooLong:
            return "Error: the " + What + " is longer than 255 characters";
        case R::HasNul:
            return "Error: the " + What + " contains a NUL character; save the answers as UTF-8";
        case R::Unclosed:
            return "Error: the " + What + " opens a quote that its line does not close";
        case R::Empty:
            return "Error: the " + What + " is empty";
        case R::NotText:
            return "Error: the " + What +
                   " is not text in UTF-8 or the console's code page; save the answers as UTF-8";
        case R::Read:
            break;
    }
    return "";
}

// Prompts and reads a path into Dest (PathCapacity bytes): the model path,
// or the save path, which must be able to hold the outputs of a model of
// TexCount textures. When there is none, ends the prompt's line and sets
// Problem to the error line.
bool AskPath(AnswerReader& Answers, std::ostream& Out, bool Model, char* Dest, std::string& Problem,
             int TexCount = 0) {
    Out << (Model ? "Quennmire model path: " : "Save file path: ") << std::flush;
    const std::string What = Model ? "model path" : "save file path";
    std::string Path;
    AnswerReader::Result Result = Model ? Answers.ModelPath(Path) : Answers.SavePath(Path);
    // The reader's limit of 255 characters keeps every path inside the array; checked all the same.
    if (Path.size() >= PathCapacity) Result = AnswerReader::Result::TooLong;
    Problem = AnswerProblem(Result, What);
    if (Problem.empty() && !Model) Problem = SavePathError(Path, TexCount);
    if (!Problem.empty()) {
        Out << std::endl;
        return false;
    }
    std::memcpy(Dest, Path.c_str(), Path.size() + 1);
    return true;
}

void PrintBanner(std::ostream& Out) {
    Out << "Quennmire Model Extractor" << std::endl
        << "Ver 1.5" << std::endl  // the dialogue's own text, not the release's number
        << "qmextract: an open extractor for Quennmire model files" << std::endl
        << "Written by the qmextract project team" << std::endl
        << "Contact: qmextract-team@users.noreply.example" << std::endl
        << std::endl;
}

// The end of every run: the lines given, an empty line, "Press Enter to exit"
// and the pause, which drops the rest of the last answer's line and waits for
// a fresh Enter (at the end of input it returns at once). A console window
// opened for the tool therefore stays until the user has read the outcome.
int Finish(AnswerReader& Answers, std::ostream& Out, const std::vector<std::string>& Errors) {
    for (const std::string& Line : Errors) Out << Line << std::endl;
    Out << std::endl << "Press Enter to exit" << std::endl;
    Answers.Pause();
    // A console that could not be written is a failure too.
    return Errors.empty() && Out.flush() ? 0 : 1;
}

// The run from the model path on; returns the lines that end it.
std::vector<std::string> Extract(AnswerReader& Answers, std::ostream& Out, TempSlot* Pending) {
    const std::unique_ptr<char[]> FilePath(new char[PathCapacity]);
    std::string Problem;
    if (!AskPath(Answers, Out, true, FilePath.get(), Problem)) return {Problem};
    const std::string Model = FilePath.get();

    const auto AskSave = [&](int TexCount, std::string& SavePath, std::string& Refusal) {
        Out << std::endl
            << "File object(s) will be saved as Wavefront Object(s) (*.OBJ)." << std::endl
            << "File texture(s) will be saved as Bitmap(s) 32 bits (*.BMP)." << std::endl
            << "Please enter save file path, without extension." << std::endl
            << std::endl;
        const std::unique_ptr<char[]> Save(new char[PathCapacity]);
        if (!AskPath(Answers, Out, false, Save.get(), Refusal, TexCount)) return false;
        SavePath = Save.get();
        return true;
    };
    ProtectedFiles Protected;
    Protected.Add(Model);
    const ConversionResult Result =
        ConvertModel(Model, AskSave, Out, Out, {&Protected, &Model, Pending});
    std::vector<std::string> Lines = Result.Errors;
    // A failure before the save prompt follows the report, or the model path's prompt, after an
    // empty line.
    if (Result.Stage == ConversionStage::Load || Result.Stage == ConversionStage::Analyse)
        Lines.insert(Lines.begin(), "");
    return Lines;
}

}  // namespace

int RunExtraction(std::istream& In, std::ostream& Out, TempSlot* Pending) {
    AnswerReader Answers(In);
    PrintBanner(Out);
    std::vector<std::string> Errors;
    try {
        Errors = Extract(Answers, Out, Pending);
    } catch (const std::exception& Unexpected) {
        // Whatever a step could not handle ends the run with its reason, never an abort.
        Errors = {"", std::string("Error: ") + Unexpected.what()};
    }
    return Finish(Answers, Out, Errors);
}
