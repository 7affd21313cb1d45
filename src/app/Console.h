// What the tool needs of its host: the console streams, the code page of answers, the limits on
// names.
#pragma once

#include <istream>
#include <ostream>
#include <string>

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
