// The whole run's floor: what cat does for the tool's files, in one process as the tool is one.
//
// usage: copy_floor <model> <folder> <file>...
// Reads the model, then copies each named file of the folder into the current folder under the
// same name, in 128 KiB pieces as cat does. Exits 1 when a read or write fails.
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Copies the file From to the file To, or only reads it when To is null.
bool Copy(const std::string& From, const char* To) {
    static std::vector<char> Buffer(128 * 1024);
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

}  // namespace

int main(int argc, char** argv) {
    bool Ok = argc >= 3 && Copy(argv[1], nullptr);
    for (int i = 3; Ok && i < argc; i++) Ok = Copy(std::string(argv[2]) + "/" + argv[i], argv[i]);
    return Ok ? 0 : 1;
}
