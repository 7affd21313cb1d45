// Reading the answers: lines, byte-order marks, UTF-16, quotes and the words of a path.
#include "app/Answers.h"

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <streambuf>

#include "app/Platform.h"
#include "io/Paths.h"

namespace fs = std::filesystem;

namespace {

bool IsBlank(char C) { return std::isspace(static_cast<unsigned char>(C)) != 0; }

bool IsQuote(char C) { return C == '"' || C == '\''; }

}  // namespace

int AnswerReader::NextByte() {
    if (Pending_.empty()) return NextByteRaw();
    const int Byte = static_cast<unsigned char>(Pending_.front());
    Pending_.erase(0, 1);
    return Byte;
}

int AnswerReader::NextByteRaw() {
    std::streambuf* Buffer = In_.rdbuf();
    if (Buffer == nullptr) return EOF;
    const int Byte = Buffer->sbumpc();
    if (Byte == std::char_traits<char>::eof()) {
        In_.setstate(std::ios::eofbit);
        return EOF;
    }
    return Byte;
}

int AnswerReader::NextUnit() {
    if (PendingUnit_ >= 0) {
        const int Unit = PendingUnit_;
        PendingUnit_ = -1;
        return Unit;
    }
    const int First = NextByte();
    const int Second = First == EOF ? EOF : NextByte();
    if (Second == EOF) return EOF;  // a lone last byte is no unit
    return Encoding_ == Encoding::Utf16Little ? First | Second << 8 : First << 8 | Second;
}

void AnswerReader::Keep(const char* Bytes, size_t Count) {
    if (Line_.size() + Count > MaxLine) {
        Cut_ = true;
        return;
    }
    Line_.append(Bytes, Count);
}

void AnswerReader::KeepCodePoint(uint32_t Code) {
    char Bytes[4];
    size_t Count = 0;
    if (Code < 0x80) {
        Bytes[Count++] = static_cast<char>(Code);
    } else if (Code < 0x800) {
        Bytes[Count++] = static_cast<char>(0xC0 | Code >> 6);
        Bytes[Count++] = static_cast<char>(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
        Bytes[Count++] = static_cast<char>(0xE0 | Code >> 12);
        Bytes[Count++] = static_cast<char>(0x80 | (Code >> 6 & 0x3F));
        Bytes[Count++] = static_cast<char>(0x80 | (Code & 0x3F));
    } else {
        Bytes[Count++] = static_cast<char>(0xF0 | Code >> 18);
        Bytes[Count++] = static_cast<char>(0x80 | (Code >> 12 & 0x3F));
        Bytes[Count++] = static_cast<char>(0x80 | (Code >> 6 & 0x3F));
        Bytes[Count++] = static_cast<char>(0x80 | (Code & 0x3F));
    }
    Keep(Bytes, Count);
}

AnswerReader::Encoding AnswerReader::DetectEncoding() {
    // A byte-order mark at the very start says how the answers are stored;
    // bytes that turn out not to be one are read again.
    constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF", Little = "\xFF\xFE", Big = "\xFE\xFF";
    while (Utf8Mark.starts_with(Pending_) || Little.starts_with(Pending_) ||
           Big.starts_with(Pending_)) {
        const int Byte = NextByteRaw();
        if (Byte == EOF) return Encoding::Bytes;
        Pending_ += static_cast<char>(Byte);
        const Encoding Marked = Pending_ == Little ? Encoding::Utf16Little
                                : Pending_ == Big  ? Encoding::Utf16Big
                                                   : Encoding::Bytes;
        if (Pending_ == Utf8Mark || Marked != Encoding::Bytes) {
            Pending_.clear();
            return Marked;
        }
    }
    // Without a mark, UTF-16 shows in its first unit: an ASCII character
    // with a zero byte after it (little-endian, what cmd /u writes) or before it.
    if (Pending_.size() == 1) {
        const int Byte = NextByteRaw();
        if (Byte != EOF) Pending_ += static_cast<char>(Byte);
    }
    if (Pending_.size() == 2) {
        const auto Ascii = [](char C) { return C > 0 && static_cast<unsigned char>(C) < 0x80; };
        if (Ascii(Pending_[0]) && Pending_[1] == '\0') return Encoding::Utf16Little;
        if (Pending_[0] == '\0' && Ascii(Pending_[1])) return Encoding::Utf16Big;
    }
    return Encoding::Bytes;
}

bool AnswerReader::NextLine() {
    Line_.clear();
    Pos_ = 0;
    Cut_ = false;
    Text_ = true;
    if (!Started_) {
        Started_ = true;
        Encoding_ = DetectEncoding();
    }
    bool Any = false;
    if (Encoding_ == Encoding::Bytes) {
        for (int Byte = NextByte(); Byte != EOF; Byte = NextByte()) {
            Any = true;
            if (Byte == '\n') break;
            const char C = static_cast<char>(Byte);
            Keep(&C, 1);
        }
        Text_ = LocalToUtf8(Line_);
        return Any;
    }
    for (int Unit = NextUnit(); Unit != EOF; Unit = NextUnit()) {
        Any = true;
        if (Unit == '\n') break;
        uint32_t Code = static_cast<uint32_t>(Unit);
        if (Code >= 0xD800 && Code <= 0xDBFF) {
            const int Low = NextUnit();
            if (Low >= 0xDC00 && Low <= 0xDFFF) {
                Code = 0x10000 + ((Code - 0xD800) << 10) + static_cast<uint32_t>(Low - 0xDC00);
            } else {
                PendingUnit_ = Low;
                Code = 0xFFFD;
            }
        } else if (Code >= 0xDC00 && Code <= 0xDFFF) {
            Code = 0xFFFD;
        }
        KeepCodePoint(Code);
    }
    return Any;
}

AnswerReader::Result AnswerReader::Quoted(std::string& Path) {
    while (Pos_ < Line_.size() && !IsBlank(Line_[Pos_])) {
        const char C = Line_[Pos_];
        if (IsQuote(C)) {
            const size_t Close = Line_.find(C, Pos_ + 1);
            if (Close == std::string::npos) {
                Pos_ = Line_.size();
                return Cut_ ? Result::TooLong : Result::Unclosed;
            }
            Path.append(Line_, Pos_ + 1, Close - Pos_ - 1);
            Pos_ = Close + 1;
        } else if (C == '\\' && Line_.compare(Pos_, 2, "\\'") == 0) {
            Path += '\'';
            Pos_ += 2;
        } else {
            Path += C;
            Pos_++;
        }
    }
    return Result::Read;
}

size_t AnswerReader::ModelPathEnd() const {
    size_t End = Pos_;
    while (End < Line_.size()) {
        while (End < Line_.size() && !IsBlank(Line_[End])) End++;
        const std::string Words = Line_.substr(Pos_, End - Pos_);
        // A NUL would cut the name the system sees; such words are refused as they are.
        if (Words.find('\0') != std::string::npos) return End;
        if (CountCharacters(Words) > PathCharacters) break;
        std::error_code Error;
        if (fs::is_regular_file(fs::status(Utf8Path(Words), Error))) return End;
        while (End < Line_.size() && IsBlank(Line_[End])) End++;
    }
    // No run of words names a file: the whole line is the path, so a mistyped
    // name or a folder is reported as typed, never as a shorter run of its words.
    End = Line_.size();
    while (End > Pos_ && IsBlank(Line_[End - 1])) End--;
    return End;
}

AnswerReader::Result AnswerReader::Answer(std::string& Path, bool Model) {
    Path.clear();
    for (;;) {
        while (Pos_ < Line_.size() && IsBlank(Line_[Pos_])) Pos_++;
        if (Pos_ < Line_.size()) break;
        // What a line lost past MaxLine may have been the answer: never take the next line for it.
        if (Cut_) return Result::TooLong;
        if (!NextLine()) return Result::EndOfInput;
    }
    if (!Text_) {
        Pos_ = Line_.size();
        return Result::NotText;
    }
    size_t End = Line_.size();
    if (IsQuote(Line_[Pos_])) {
        const Result Status = Quoted(Path);
        if (Status != Result::Read) return Status;
        if (Path.empty()) return Result::Empty;
        End = Pos_;
    } else {
        if (Model) {
            End = ModelPathEnd();
        } else {
            while (End > Pos_ && IsBlank(Line_[End - 1])) End--;
        }
        Path = Line_.substr(Pos_, End - Pos_);
        Pos_ = End;
    }
    if (Cut_ && End == Line_.size()) return Result::TooLong;
    if (Path.find('\0') != std::string::npos) return Result::HasNul;
    if (CountCharacters(Path) > PathCharacters) return Result::TooLong;
    return Result::Read;
}

void AnswerReader::Pause() {
    Pos_ = Line_.size();
    NextLine();
}
