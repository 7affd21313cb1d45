// The floors' one copy loop: what cat does for one file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Copies the file From to the file To through Buffer, or only reads it when To
// is null; false when a read or a write failed.
inline bool CatCopy(const std::string& From, const char* To, std::vector<char>& Buffer) {
    std::FILE* In = std::fopen(From.c_str(), "rb");
    std::FILE* Out = To ? std::fopen(To, "wb") : nullptr;
    bool Ok = In && (Out || !To);
    for (size_t N; Ok && (N = std::fread(Buffer.data(), 1, Buffer.size(), In)) > 0;)
        Ok = !Out || std::fwrite(Buffer.data(), 1, N, Out) == N;
    if (In) {
        Ok = Ok && !std::ferror(In);
        std::fclose(In);
    }
    if (Out && std::fclose(Out) != 0) Ok = false;
    return Ok;
}
