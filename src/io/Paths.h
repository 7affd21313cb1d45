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
//   platform, a backslash), "." or "..": it names a folder, not a file;
// - with Windows rules, its last part (after the last slash, backslash or
//   drive colon) is a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, in any
//   case, with or without an extension), holds one of : * ? < > | " or a
//   control character, or ends in a dot or a blank.
std::string SavePathProblem(const std::string& Path, bool WindowsRules = WindowsNames);
