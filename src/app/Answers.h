// The user's answers to the two prompts and the final pause, read line by line.
#pragma once

#include <istream>
#include <string>

// Reads answers from In, one line at a time, as people hand paths over:
// typed, pasted, quoted by a file manager, from a file or a pipe.
//
// - Blank lines before an answer are skipped without a new prompt.
// - An answer that starts with a double or a single quote is read up to the
//   matching closing quote, blanks included; the quotes are not part of the
//   name. Right after a closing quote the answer may go on: another quoted
//   piece, \' for a single quote (as file managers quote 'it'\''s.qm'), or
//   plain characters, up to the next blank. A name that really starts with a
//   quote is given inside the other kind of quote ("'name.qm").
// - An unquoted model path is the shortest run of the line's words that names
//   a regular file, else the whole line (so a mistyped name or a folder is
//   reported as typed); what follows it stays for the save path (a model path
//   and a save path may share a line).
// - An unquoted save path is the rest of its line, trailing blanks dropped, so
//   a path through folders with blanks is never cut at a blank.
// - Input that starts with a UTF-8 byte-order mark has it skipped; input that
//   starts with a UTF-16 byte-order mark (either order), or without one with
//   an ASCII character and a zero byte in either order, is read as UTF-16 and
//   handed on as UTF-8. Where the host names files in UTF-16 (Windows), a line
//   that is not UTF-8 is decoded from the console's or the system's code page.
// - A line keeps at most MaxLine bytes; an answer that reaches a dropped part
//   is too long.
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
