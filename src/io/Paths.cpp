// Path conversion, character counting and the save path rules.
#include "io/Paths.h"

#include <cctype>
#include <cstdint>

namespace fs = std::filesystem;

fs::path Utf8Path(const std::string& Name) {
    if (fs::path::preferred_separator != '/' && !IsUtf8(Name)) return fs::path();
    return fs::path(std::u8string(Name.begin(), Name.end()));
}

std::string Utf8Text(const fs::path& Path) {
    const std::u8string Text = Path.u8string();
    return std::string(Text.begin(), Text.end());
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
    for (const char* Device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
        if (Base == Device) return true;
    if (!Base.starts_with("com") && !Base.starts_with("lpt")) return false;
    const std::string Number = Base.substr(3);
    // 1 to 9, or a superscript 1, 2 or 3 (U+00B9, U+00B2, U+00B3 in UTF-8).
    if (Number.size() == 1) return Number[0] >= '1' && Number[0] <= '9';
    return Number == "\xC2\xB9" || Number == "\xC2\xB2" || Number == "\xC2\xB3";
}

bool IsSeparator(char C) { return C == '/' || C == '\\'; }

// Where the last part of Path starts: after the last separator or, with
// Windows rules, a drive colon ("C:name").
size_t LastPartStart(const std::string& Path, bool WindowsRules) {
    size_t Start = Path.find_last_of("/\\");
    Start = Start == std::string::npos ? 0 : Start + 1;
    if (WindowsRules && Start == 0 && Path.size() >= 2 && Path[1] == ':' &&
        std::isalpha(static_cast<unsigned char>(Path[0])))
        Start = 2;
    return Start;
}

// A file in the folder that Path names, for the hint: with the separator
// the path already uses, else the platform's.
std::string FileInFolder(const std::string& Path, bool WindowsRules) {
    if (!Path.empty() && IsSeparator(Path.back())) return Path + "model";
    const size_t Last = Path.find_last_of("/\\");
    const char Separator = Last != std::string::npos ? Path[Last] : WindowsRules ? '\\' : '/';
    return Path + Separator + "model";
}

// Whether the folder that holds Path exists, said as the end of a sentence.
std::string FolderProblem(const std::string& Path) {
    const fs::path Folder = Utf8Path(Path).parent_path();
    if (Folder.empty()) return "";
    std::error_code Error;
    const fs::file_status Kind = fs::status(Folder, Error);
    const std::string Name = ShownPath(Utf8Text(Folder));
    if (Kind.type() == fs::file_type::not_found)
        return "is in the folder " + Name + ", which does not exist";
    if (fs::exists(Kind) && !fs::is_directory(Kind))
        return "is in " + Name + ", which is not a folder";
    return "";
}

// "N bytes" or "N characters", as Limits count.
std::string Units(size_t Count, const NameLimits& Limits) {
    return std::to_string(Count) + (Limits.Utf16 ? " characters" : " bytes");
}

}  // namespace

size_t NameLength(const std::string& Text, const NameLimits& Limits) {
    if (!Limits.Utf16 || !IsUtf8(Text)) return Text.size();
    // UTF-16 takes one unit per character, two for those past U+FFFF (four UTF-8 bytes).
    size_t Units = 0;
    for (const char C : Text) {
        const auto Byte = static_cast<uint8_t>(C);
        if ((Byte & 0xC0) != 0x80) Units += Byte >= 0xF0 ? 2 : 1;
    }
    return Units;
}

std::string SavePathProblem(const std::string& Path, bool WindowsRules) {
    const std::string Part = Path.substr(LastPartStart(Path, WindowsRules));
    if (Part.empty() || Part == "." || Part == "..")
        return "names a folder; add a name for the files, as in " +
               FileInFolder(Path, WindowsRules);
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

std::string SaveTargetProblem(const std::string& Path, int TexCount, const NameLimits& Limits,
                              bool WindowsRules) {
    std::string Problem = SavePathProblem(Path, WindowsRules);
    if (Problem.empty()) Problem = FolderProblem(Path);
    if (!Problem.empty()) return Problem;
    // The BMP names are the longest when there are textures: "_tex" + N + ".bmp".
    const std::string Suffix =
        TexCount > 0 ? "_tex" + std::to_string(TexCount - 1) + ".bmp" : ".obj";
    const std::string Name = Utf8Text(Utf8Path(Path).filename()) + Suffix;
    const size_t Length = NameLength(Name, Limits);
    if (Length > Limits.Name)
        return "is too long for its outputs: the file name " + Name + " has " +
               Units(Length, Limits) + ", " + std::to_string(Length - Limits.Name) +
               " more than a name may have";
    if (Limits.WholePath == 0) return "";
    std::error_code Error;
    const std::string Whole = Utf8Text(fs::absolute(Utf8Path(Path + Suffix), Error));
    const size_t WholeLength = NameLength(Whole, Limits);
    // Windows lifts the limit for a path that starts with \\?\.
    const bool Verbatim = WindowsRules && Whole.starts_with("\\\\?\\");
    if (!Error && !Verbatim && WholeLength > Limits.WholePath)
        return "is too long for its outputs: the path " + Whole + " has " +
               Units(WholeLength, Limits) + ", " + std::to_string(WholeLength - Limits.WholePath) +
               " more than a path may have on this system";
    return "";
}

std::string ShownPath(const std::string& Path) {
    const auto Blank = [](char C) { return std::isspace(static_cast<unsigned char>(C)) != 0; };
    if (!Path.empty() && (Blank(Path.front()) || Blank(Path.back()))) return '"' + Path + '"';
    return Path;
}
