// Path helpers shared by the run and the writers: conversion, length and the names a save path may
// take.
#pragma once

#include <filesystem>
#include <string>

// Bytes of a path array: 255 characters of up to 4 UTF-8 bytes each, and the NUL.
inline constexpr int PathCharacters = 255;
inline constexpr int PathCapacity = 4 * PathCharacters + 1;

// A typed path as a filesystem path. Paths are UTF-8 bytes on every platform
// (the run turns Windows answers into UTF-8 first), so they are converted as
// UTF-8, never through the host's narrow-to-wide conversion. Where the host
// converts (Windows), text that is not UTF-8 gives an empty path rather than
// an exception; no file has an empty name, so every use of it fails cleanly.
std::filesystem::path Utf8Path(const std::string& Name);

// The path as UTF-8 bytes: the inverse of Utf8Path.
std::string Utf8Text(const std::filesystem::path& Path);

// True when Text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& Text);

// The characters of Text: UTF-8 sequences count once, any other byte once.
size_t CountCharacters(const std::string& Text);

// The length of Text without a UTF-8 sequence that its last bytes begin but
// do not finish, so text written in pieces is converted whole characters at a time.
size_t WholeUtf8Prefix(const std::string& Text);

// Whether the save path rules of Windows apply on this host.
#ifdef _WIN32
inline constexpr bool WindowsNames = true;
#else
inline constexpr bool WindowsNames = false;
#endif

// Why Path cannot serve as a save path (the outputs are Path + ".obj" and
// Path + "_tex<N>.bmp"), as the end of a sentence, or "" when it can:
// - it is empty, or its last part is empty (it ends in a slash or, on every
//   platform, a backslash), "." or "..": it names a folder, not a file; the
//   hint names a file in that folder, with the path's own separator or else
//   the platform's;
// - with Windows rules, its last part (after the last slash, backslash or
//   drive colon) is a device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$,
//   COM1-9, LPT1-9 and COM or LPT with a superscript 1, 2 or 3, in any case,
//   with or without an extension), holds one of : * ? < > | " or a control
//   character, or ends in a dot or a blank.
std::string SavePathProblem(const std::string& Path, bool WindowsRules = WindowsNames);

// How long a host lets names and paths be, in the units it counts them in.
struct NameLimits {
    size_t Name = 255;     // one file name
    size_t WholePath = 0;  // a whole absolute path; 0 where no limit applies
    bool Utf16 = false;    // counted in UTF-16 units (Windows), else in UTF-8 bytes
};

// The length of Text in the units of Limits.
size_t NameLength(const std::string& Text, const NameLimits& Limits);

// Why the outputs of the save path Path, for a model of TexCount textures,
// cannot all be created, checked before anything is written, as the end of a
// sentence, or "" when they can: Path breaks SavePathProblem's rules; its
// folder does not exist or is not a folder; the longest output name
// (<last part>.obj, or <last part>_tex<TexCount - 1>.bmp) is longer than
// Limits.Name; or that output's absolute path is longer than Limits.WholePath.
std::string SaveTargetProblem(const std::string& Path, int TexCount, const NameLimits& Limits,
                              bool WindowsRules = WindowsNames);

// Path as messages show it: in double quotes when it starts or ends in a blank,
// which would otherwise not be seen.
std::string ShownPath(const std::string& Path);
