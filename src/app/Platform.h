// What the tool needs of its host: the console streams, the code page of answers, the limits on
// names.
#pragma once

#include <filesystem>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "io/Paths.h"

// Standard input as the run reads it. In a Windows console window it is read
// as wide characters and handed on as UTF-8, so any name can be typed without
// switching the console's code page; elsewhere it is std::cin.
std::istream& ConsoleInput();

// Standard output as the run writes it: UTF-8 text, written to a Windows
// console window as wide characters so that names show as they are.
std::ostream& ConsoleOutput();

// Makes Text, a line of answers, UTF-8 where the host needs UTF-8 to name
// files. On Windows a line that is not UTF-8 is decoded from the console's
// input code page, or from the system's ANSI code page where no console is
// attached; false when it cannot be decoded. Elsewhere names are bytes, so
// Text stays as it is.
bool LocalToUtf8(std::string& Text);

// The host's limits on file names and paths: 255 UTF-8 bytes for one name
// elsewhere (the limit of the file systems in use there) and no whole-path
// limit that a save path can reach; on Windows 255 UTF-16 units for one name
// and 259 for a whole path, unless long paths are enabled for the process
// (the manifest declares it aware; the system setting must be on).
NameLimits HostNameLimits();

// Standard error as the programs write it: UTF-8 text, written to a Windows
// console window as wide characters.
std::ostream& ConsoleError();

// Whether standard error is a terminal (a console window on Windows), where
// a progress line may be redrawn.
bool StandardErrorIsTerminal();

// The command line's arguments after the program name, as UTF-8. On Windows
// they are read as wide characters, so any name arrives whole whatever the
// code page; elsewhere they are argv as it is.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Whether this process is the only one attached to its console window, as
// when Explorer started it for a double-click or a drop (Windows); the
// window then closes when the process ends. Always false elsewhere.
bool OwnsConsoleWindow();

// The number of threads the hardware runs at once (at least 1).
int HardwareThreads();

// Runs Work(0), ..., Work(Count - 1), each on a thread of its own, and
// returns once all have returned. Work must not throw.
void RunThreads(int Count, const std::function<void(int)>& Work);

// Sleeps for about Milliseconds.
void SleepMilliseconds(int Milliseconds);

// The exit status of a program that stopped at Ctrl-C: 130 (128 + SIGINT)
// elsewhere, STATUS_CONTROL_C_EXIT on Windows.
int InterruptedStatus();

// Whether Path is a link (a symbolic link, or on Windows any reparse point
// such as a junction), which a folder search does not follow.
bool IsLink(const std::filesystem::path& Path);
