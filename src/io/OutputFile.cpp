// Output files written under a temporary name and renamed into place when complete.
#include "io/OutputFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace fs = std::filesystem;

namespace {

// Random bits for temporary names from a generator of this thread, seeded once
// from the system: asking the system for every file costs more than writing a
// small one (tens of microseconds in a virtual machine).
uint32_t TempNameBits() {
    thread_local std::mt19937 Generator{std::random_device{}()};
    return static_cast<uint32_t>(Generator());
}

std::string LowerName(const std::string& Path) {
    std::string Name = Utf8Text(Utf8Path(Path).filename());
    for (char& C : Name) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return Name;
}

}  // namespace

std::string SystemReason(const char* Otherwise) {
    return errno != 0 ? std::strerror(errno) : Otherwise;
}

void ProtectedFiles::Add(const std::string& Path) { ByName_[LowerName(Path)].push_back(Path); }

std::string ProtectedFiles::Match(const std::string& Output) const {
    const auto Found = ByName_.find(LowerName(Output));
    if (Found == ByName_.end()) return "";
    std::error_code Error;
    for (const std::string& Path : Found->second)
        if (fs::equivalent(Utf8Path(Output), Utf8Path(Path), Error)) return Path;
    return "";
}

OutputFile::OutputFile(std::string FinalName, const OutputPolicy& Policy)
    : Final_(std::move(FinalName)), Policy_(Policy) {
    if (Policy_.Protected != nullptr) {
        const std::string Model = Policy_.Protected->Match(Final_);
        if (!Model.empty()) {
            const bool Own = Policy_.Model != nullptr && *Policy_.Model == Model;
            Fail(Own ? "it is the model file" : "it is the model file " + Model + " of this batch");
            return;
        }
    }
    // As long as the final file name, at most 8 characters, at least "~qm" and one digit.
    const fs::path Path = Utf8Path(Final_);
    const size_t Length =
        std::max<size_t>(4, std::min<size_t>(8, Path.filename().u8string().size()));
    std::error_code Error;
    for (int Attempt = 0; Attempt < 100 && !Stream_.is_open(); Attempt++) {
        std::string Name = "~qm";
        for (uint32_t Bits = TempNameBits(); Name.size() < Length; Bits >>= 4)
            Name += "0123456789abcdef"[Bits & 15];
        const fs::path Candidate = Path.parent_path() / Name;
        if (fs::exists(Candidate, Error)) continue;
        Temp_ = Utf8Text(Candidate);
        Publish(true);
        errno = 0;
        Stream_.open(Candidate, std::ios::out | std::ios::binary | std::ios::trunc);
        if (!Stream_.is_open()) {
            Publish(false);
            Fail(SystemReason("cannot create a file in its folder"));
            return;
        }
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

void OutputFile::Publish(bool Pending) {
    TempSlot* Slot = Policy_.Pending;
    if (Slot == nullptr) return;
    // The name is complete before the slot says it is there.
    Slot->Busy.store(false);
    if (!Pending || Temp_.size() >= sizeof Slot->Name) return;
    std::memcpy(Slot->Name, Temp_.c_str(), Temp_.size() + 1);
    Slot->Busy.store(true);
}

void OutputFile::Discard() {
    std::remove(Temp_.c_str());
    Publish(false);
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
    const std::streamoff Size = Written ? std::streamoff(Stream_.tellp()) : 0;
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
    Publish(false);
    if (Policy_.Written != nullptr && Size > 0) *Policy_.Written += Size;
    return true;
}
