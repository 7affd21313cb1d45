// The loader that reads the model file one byte per fread call.
#include <cstdio>

#include "Literal.h"

namespace literal {

int LoadFile(const char* Path, unsigned char*& Buff) {
    Buff = nullptr;
    std::FILE* File = std::fopen(Path, "rb");
    if (File == nullptr) return -1;
    std::fseek(File, 0, SEEK_END);
    const long Size = std::ftell(File);
    Buff = new unsigned char[static_cast<size_t>(Size)];
    std::fseek(File, 0, SEEK_SET);
    for (long i = 0; i < Size; i++)
        if (std::fread(&Buff[i], 1, 1, File) != 1) Buff[i] = 0;
    std::fclose(File);
    return static_cast<int>(Size);
}

}  // namespace literal
