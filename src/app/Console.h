// What the console needs of its host: the input stream and the code page of answers.
#pragma once

#include <istream>
#include <ostream>
#include <string>

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
