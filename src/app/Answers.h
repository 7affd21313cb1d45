// The user's answers to the two prompts and the final pause, read line by line.
#pragma once

#include <istream>
#include <string>

// Reads answers from In, one line at a time, by the rules that
// docs/answers.md gives users: blank lines skipped; quoted answers up to the
// closing quote, with \' after a closing quote; an unquoted model path as the
// shortest run of the line's words that names a regular file, else the whole
// line; an unquoted save path as the rest of the line; byte-order marks and
// UTF-16 (with or without a mark) handed on as UTF-8; on Windows a line that
// is not UTF-8 decoded from the console's or the system's code page.
// A line keeps at most MaxLine bytes; an answer that reaches a dropped part
// is too long.
class AnswerReader {
public:
    static constexpr size_t MaxLine = 64 * 1024;

    enum class Result {
        Read,        // Path holds the answer
        EndOfInput,  // input ended before an answer
        TooLong,     // more than 255 characters
        HasNul,      // a NUL character would cut the name to another
        Unclosed,    // an opening quote without its closing one on the line
        Empty,       // a quoted answer with nothing between its quotes
        NotText      // a line that could not be decoded (Windows)
    };

    explicit AnswerReader(std::istream& In) : In_(In) {}

    Result ModelPath(std::string& Path) { return Answer(Path, true); }
    Result SavePath(std::string& Path) { return Answer(Path, false); }

    // Drops what is left of the current line, then waits for one more line
    // (a fresh Enter); at the end of input it returns at once.
    void Pause();

private:
    Result Answer(std::string& Path, bool Model);
    Result Quoted(std::string& Path);
    // The end of the unquoted model path that starts at Pos_.
    size_t ModelPathEnd() const;
    // How the answers are stored: bytes (UTF-8 or a code page) or UTF-16.
    enum class Encoding { Bytes, Utf16Little, Utf16Big };

    Encoding DetectEncoding();
    bool NextLine();
    int NextByte();
    int NextByteRaw();
    int NextUnit();
    void Keep(const char* Bytes, size_t Count);
    void KeepCodePoint(uint32_t Code);

    std::istream& In_;
    std::string Line_;      // the current line, without its line end
    size_t Pos_ = 0;        // the first unread byte of Line_
    bool Cut_ = false;      // Line_ lost bytes past MaxLine
    bool Text_ = true;      // Line_ could be decoded
    bool Started_ = false;  // the start of input has been checked for its encoding
    Encoding Encoding_ = Encoding::Bytes;
    std::string Pending_;   // bytes read ahead while looking for a byte-order mark
    int PendingUnit_ = -1;  // a UTF-16 unit read ahead while pairing surrogates
};
