// Model file loader: size by seeking to the end, then one bulk read.
#include "app/LoadFile.h"

#include "io/OutputFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>

namespace {

// Closes the file on every way out.
struct FileCloser {
    void operator()(std::FILE* F) const { std::fclose(F); }
};

int Fail(std::string* Problem, const std::string& Text) {
    if (Problem != nullptr) *Problem = Text;
    return -1;
}

}  // namespace

int LoadFile(const char* Path, unsigned char*& Buff, std::string* Problem) {
    Buff = nullptr;
    const std::string Name = ShownPath(Path);
    // Only a regular file is read: a folder, a FIFO or a device would give a
    // nonsense size, block for ever, or never end.
    std::error_code Status;
    const std::filesystem::file_status Kind = std::filesystem::status(Utf8Path(Path), Status);
    if (std::filesystem::is_directory(Kind))
        return Fail(Problem, "Error: model file " + Name + " is a folder");
    if (std::filesystem::exists(Kind) && !std::filesystem::is_regular_file(Kind))
        return Fail(Problem, "Error: model file " + Name + " is not a regular file");
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> File(std::fopen(Path, "rb"));
    if (!File)
        return Fail(Problem, "Error: cannot open model file " + Name + ": " +
                                 SystemReason("the system gave no reason"));

    // Unbuffered: the bulk read goes straight into the model's array, and finding
    // the size reads nothing ahead (a buffered stream reads the file's last block
    // to seek to its end, and again after the bulk read).
    std::setvbuf(File.get(), nullptr, _IONBF, 0);
    long End = -1;
    if (std::fseek(File.get(), 0, SEEK_END) == 0) End = std::ftell(File.get());
    if (End < 0 || std::fseek(File.get(), 0, SEEK_SET) != 0)
        return Fail(Problem, "Error: cannot find the size of model file " + Name);
    if (End > std::numeric_limits<int32_t>::max())
        return Fail(Problem, "Error: model file " + Name + " is larger than 2 GiB");

    const size_t Size = static_cast<size_t>(End);
    Buff = new (std::nothrow) unsigned char[Size];
    if (Buff == nullptr)
        return Fail(Problem, "Error: not enough memory to load model file " + Name + " (" +
                                 std::to_string(Size) + " bytes)");
    const size_t Read = Size == 0 ? 0 : std::fread(Buff, 1, Size, File.get());
    if (Read < Size && Problem != nullptr)
        *Problem = "Warning: read only " + std::to_string(Read) + " of " + std::to_string(Size) +
                   " bytes of model file " + Name + "; using the bytes read";
    return static_cast<int>(Read);
}
