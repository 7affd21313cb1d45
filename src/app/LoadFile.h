// Loading of the whole model file into one heap buffer.
#pragma once

#include <string>

// Reads the whole file at Path (a NUL-terminated path) with one bulk read into
// a new array stored in Buff (release it with delete[]) and returns the number
// of bytes read. When Path names no regular file (a folder, a FIFO, a device),
// or the file cannot be opened (with the system's reason), its size cannot be
// found, it is larger than 2 GiB - 1 bytes, or its bytes cannot be allocated,
// returns -1, leaves Buff null and, when Problem is given, stores there one
// "Error: " line naming the path and the problem.
// When fewer bytes arrive than the size found, returns the count that did and
// says so in Problem; the buffer then holds exactly those bytes.
int LoadFile(const char* Path, unsigned char*& Buff, std::string* Problem = nullptr);
