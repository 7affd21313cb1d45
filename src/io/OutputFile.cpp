// Output files written under a temporary name and renamed into place when complete.
#include "io/OutputFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/Random.h"

namespace fs = std::filesystem;

namespace {

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
    std::error_code Error;
    const auto Same = [&](const std::vector<std::string>& Paths) {
        for (const std::string& Path : Paths)
            if (fs::equivalent(Utf8Path(Output), Utf8Path(Path), Error)) return Path;
        return std::string();
    };
    const std::string Name = LowerName(Output);
    // A name with a tilde may be a Windows short name (HERO~1.OBJ), which can
    // stand for any long name: then every protected file is compared.
    if (Name.find('~') != std::string::npos) {
        for (const auto& Entry : ByName_)
            if (std::string Path = Same(Entry.second); !Path.empty()) return Path;
        return "";
    }
    const auto Found = ByName_.find(Name);
    return Found == ByName_.end() ? "" : Same(Found->second);
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
        for (uint32_t Bits = static_cast<uint32_t>(ThreadRandom()); Name.size() < Length;
             Bits >>= 4)
            Name += "0123456789abcdef"[Bits & 15];
        const fs::path Candidate = Path.parent_path() / Name;
        if (fs::exists(Candidate, Error)) continue;
        Temp_ = Utf8Text(Candidate);
        if (!Claim()) {
            Fail("the program is ending");
            return;
        }
        errno = 0;
        Stream_.open(Candidate, std::ios::out | std::ios::binary | std::ios::trunc);
        Created(Stream_.is_open());
        if (!Stream_.is_open()) {
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

bool OutputFile::Claim() {
    TempSlot* Slot = Policy_.Pending;
    if (Slot == nullptr) return true;
    // A name past the slot's size (past every system's path limit) goes unpublished.
    if (Temp_.size() >= sizeof Slot->Name) return true;
    // The name is written while the slot is idle, when nothing reads it.
    if (Slot->Now.load() != TempSlot::Idle) return false;
    std::memcpy(Slot->Name, Temp_.c_str(), Temp_.size() + 1);
    int Expected = TempSlot::Idle;
    return Slot->Now.compare_exchange_strong(Expected, TempSlot::Creating);
}

void OutputFile::Created(bool Exists) {
    // Only this writer leaves Creating, so a plain store is enough.
    if (Policy_.Pending != nullptr)
        Policy_.Pending->Now.store(Exists ? TempSlot::Held : TempSlot::Idle);
}

void OutputFile::Release() {
    if (Policy_.Pending == nullptr) return;
    int Expected = TempSlot::Held;
    Policy_.Pending->Now.compare_exchange_strong(Expected, TempSlot::Idle);
}

void OutputFile::Discard() {
    std::remove(Temp_.c_str());
    Release();
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
    Release();
    if (Policy_.Written != nullptr && Size > 0) *Policy_.Written += Size;
    return true;
}
