// Path conversion, character counting and the save path rules.
#include "io/Paths.h"

#include <cctype>
#include <cstdint>

namespace fs = std::filesystem;

fs::path Utf8Path(const std::string& Name) {
    if (fs::path::preferred_separator != '/' && !IsUtf8(Name)) return fs::path();
    return fs::path(std::u8string(Name.begin(), Name.end()));
}

bool IsUtf8(const std::string& Text) {
    const size_t Size = Text.size();
    size_t i = 0;
    while (i < Size) {
        const auto Byte = [&](size_t k) { return static_cast<uint8_t>(Text[k]); };
        const uint8_t Lead = Byte(i);
        if (Lead < 0x80) {
            i++;
            continue;
        }
        // Length, and the range of the first continuation byte that rules out
        // overlong forms, surrogates and values past U+10FFFF.
        size_t Length = 0;
        uint8_t Low = 0x80, High = 0xBF;
        if (Lead >= 0xC2 && Lead <= 0xDF) {
            Length = 2;
        } else if (Lead >= 0xE0 && Lead <= 0xEF) {
            Length = 3;
            if (Lead == 0xE0) Low = 0xA0;
            if (Lead == 0xED) High = 0x9F;
        } else if (Lead >= 0xF0 && Lead <= 0xF4) {
            Length = 4;
            if (Lead == 0xF0) Low = 0x90;
            if (Lead == 0xF4) High = 0x8F;
        } else {
            return false;
        }
        if (Size - i < Length) return false;
        if (Byte(i + 1) < Low || Byte(i + 1) > High) return false;
        for (size_t k = 2; k < Length; k++) {
            if ((Byte(i + k) & 0xC0) != 0x80) return false;
        }
        i += Length;
    }
    return true;
}

size_t CountCharacters(const std::string& Text) {
    if (!IsUtf8(Text)) return Text.size();
    size_t Count = 0;
    for (const char C : Text) {
        if ((static_cast<uint8_t>(C) & 0xC0) != 0x80) Count++;
    }
    return Count;
}

size_t WholeUtf8Prefix(const std::string& Text) {
    const size_t End = Text.size();
    // The last lead byte among the final four, and the length it announces.
    size_t Lead = End;
    while (Lead > 0 && End - Lead < 4 && (static_cast<uint8_t>(Text[Lead - 1]) & 0xC0) == 0x80)
        Lead--;
    if (Lead == 0) return End;
    const uint8_t First = static_cast<uint8_t>(Text[Lead - 1]);
    const size_t Length = First >= 0xF0 ? 4 : First >= 0xE0 ? 3 : First >= 0xC0 ? 2 : 1;
    return End - (Lead - 1) < Length ? Lead - 1 : End;
}

namespace {

std::string Lower(std::string Text) {
    for (char& C : Text) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return Text;
}

bool IsDeviceName(const std::string& Part) {
    // The name before its first dot, without the blanks Windows ignores there.
    std::string Base = Lower(Part.substr(0, Part.find('.')));
    while (!Base.empty() && Base.back() == ' ') Base.pop_back();
    if (Base == "con" || Base == "prn" || Base == "aux" || Base == "nul") return true;
    return Base.size() == 4 && (Base.starts_with("com") || Base.starts_with("lpt")) &&
           Base[3] >= '1' && Base[3] <= '9';
}

}  // namespace

std::string SavePathProblem(const std::string& Path, bool WindowsRules) {
    size_t Start = Path.find_last_of("/\\");
    Start = Start == std::string::npos ? 0 : Start + 1;
    // A drive letter ("C:name") is not part of the name.
    if (WindowsRules && Start == 0 && Path.size() >= 2 && Path[1] == ':' &&
        std::isalpha(static_cast<unsigned char>(Path[0])))
        Start = 2;
    const std::string Part = Path.substr(Start);
    if (Part.empty() || Part == "." || Part == "..") {
        const char Separator = WindowsRules && Path.find('\\') != std::string::npos ? '\\' : '/';
        const std::string Folder = Part.empty() ? Path : Path + Separator;
        return "names a folder; add a name for the files, as in " + Folder + "model";
    }
    if (!WindowsRules) return "";
    if (IsDeviceName(Part)) return "is a Windows device name; choose another name";
    for (const char C : Part) {
        if (std::string_view(":*?<>|\"").find(C) != std::string_view::npos)
            return std::string("holds the character ") + C +
                   ", which Windows does not allow in a file name";
        if (static_cast<unsigned char>(C) < 32)
            return "holds a control character, which Windows does not allow in a file name";
    }
    if (Part.back() == '.' || Part.back() == ' ')
        return std::string("ends in ") + (Part.back() == '.' ? "a dot" : "a blank") +
               ", which Windows drops from file names";
    return "";
}
