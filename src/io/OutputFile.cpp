// Output files written under a temporary name and renamed into place when complete.
#include "io/OutputFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

std::string Protected;

// The temporary file being written, for the signal handler (one at a time).
char PendingTemp[4096];

extern "C" void RemovePendingAndExit(int Signal) {
    if (PendingTemp[0] != '\0') std::remove(PendingTemp);
    std::signal(Signal, SIG_DFL);
    std::raise(Signal);
}

void SetPending(const std::string& Temp) {
    static const bool Installed = [] {
        std::signal(SIGINT, RemovePendingAndExit);
        std::signal(SIGTERM, RemovePendingAndExit);
        return true;
    }();
    (void)Installed;
    const size_t N = Temp.size() < sizeof PendingTemp ? Temp.size() : 0;
    PendingTemp[0] = '\0';
    std::memcpy(PendingTemp, Temp.data(), N);
    PendingTemp[N] = '\0';
}

}  // namespace

std::string SystemReason(const char* Otherwise) {
    return errno != 0 ? std::strerror(errno) : Otherwise;
}

void OutputFile::Protect(const std::string& Path) { Protected = Path; }

OutputFile::OutputFile(std::string FinalName) : Final_(std::move(FinalName)) {
    std::error_code Error;
    if (!Protected.empty() && fs::equivalent(Utf8Path(Final_), Utf8Path(Protected), Error)) {
        Fail("it is the model file");
        return;
    }
    // As long as the final file name, at most 8 characters, at least "~qm" and one digit.
    const fs::path Path = Utf8Path(Final_);
    const size_t Length =
        std::max<size_t>(4, std::min<size_t>(8, Path.filename().u8string().size()));
    std::random_device Random;
    for (int Attempt = 0; Attempt < 100 && !Stream_.is_open(); Attempt++) {
        std::string Name = "~qm";
        for (uint32_t Bits = Random(); Name.size() < Length; Bits >>= 4)
            Name += "0123456789abcdef"[Bits & 15];
        const fs::path Candidate = Path.parent_path() / Name;
        if (fs::exists(Candidate, Error)) continue;
        Temp_ = Utf8Text(Candidate);
        errno = 0;
        Stream_.open(Candidate, std::ios::out | std::ios::binary | std::ios::trunc);
        if (!Stream_.is_open()) {
            Fail(SystemReason("cannot create a file in its folder"));
            return;
        }
        SetPending(Temp_);
        errno = 0;
    }
    if (!Stream_.is_open()) Fail("no free temporary name in its folder");
}

OutputFile::~OutputFile() {
    if (Stream_.is_open()) {
        Stream_.close();
        Discard();
    }
}

void OutputFile::Discard() {
    std::remove(Temp_.c_str());
    SetPending("");
}

bool OutputFile::Fail(const std::string& Why) {
    if (Reason_.empty()) Reason_ = Why;
    return false;
}

bool OutputFile::Commit() {
    if (!Stream_.is_open()) return Fail("it was not opened");
    // errno was cleared after the open, so a failed write has left its reason there.
    Stream_.flush();
    const bool Written = static_cast<bool>(Stream_);
    const std::string WriteReason = SystemReason("a write failed");
    errno = 0;
    Stream_.close();
    if (!Written || Stream_.fail()) {
        Discard();
        return Fail(Written ? SystemReason("closing it failed") : WriteReason);
    }
    std::error_code Error;
    fs::rename(Utf8Path(Temp_), Utf8Path(Final_), Error);
    // Where renaming over an existing file is refused (Windows), the earlier file goes first.
    std::error_code Ignored;
    if ((Error == std::errc::file_exists || Error == std::errc::permission_denied) &&
        fs::is_regular_file(Utf8Path(Final_), Ignored) && fs::remove(Utf8Path(Final_), Ignored))
        fs::rename(Utf8Path(Temp_), Utf8Path(Final_), Error);
    if (Error) {
        Discard();
        NameRefused_ = true;
        return Fail(Error.message());
    }
    SetPending("");
    return true;
}
