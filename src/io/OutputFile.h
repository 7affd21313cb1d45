// Output files that appear complete or not at all.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "io/Paths.h"

// The system's words for the last failed call (errno), or Otherwise when it gave none.
std::string SystemReason(const char* Otherwise);

// Files that no output may replace: the model files being converted. Filled
// before the conversions start, then only read, so any number of them may
// ask at once.
class ProtectedFiles {
public:
    void Add(const std::string& Path);
    // The protected file that Output would replace, or "" when none: the same
    // directory entry, however named (case, links to folders, relative or absolute).
    std::string Match(const std::string& Output) const;

private:
    // By file name in lower case, so that a lookup costs one or two checks.
    std::unordered_map<std::string, std::vector<std::string>> ByName_;
};

// Where an output publishes the temporary file it is writing, so that the
// program can remove it when a signal ends the process. One conversion at a
// time writes through a slot; the program may close it at any moment, from a
// signal handler or from another thread:
// - Idle: no temporary file; Name may be rewritten;
// - Creating: the file Name is being created; it exists once the slot leaves
//   this state, which happens on the writer's own thread without waiting;
// - Held: the file Name may exist;
// - Closed: the program is ending; no temporary file is created any more.
struct TempSlot {
    enum State : int { Idle, Creating, Held, Closed };
    std::atomic<int> Now{Idle};
    char Name[4096] = {};
};

// What the outputs of one conversion share with the program that runs it.
// Every member may be null.
struct OutputPolicy {
    const ProtectedFiles* Protected = nullptr;  // outputs may not replace these
    const std::string* Model = nullptr;         // this conversion's own model file
    TempSlot* Pending = nullptr;                // receives each temporary file's name
    int64_t* Written = nullptr;                 // adds the bytes of each file committed
};

// Writes one output file through a short temporary name in the same folder
// ("~qm" and hex digits, never longer than the final file name, so any name
// that fits as the final one fits as the temporary one). Commit() closes it
// and renames it over the final name; until then an earlier file of that name
// is untouched, and a failed or abandoned file is removed. While it exists,
// its name is published in the policy's slot (TempSlot). Files are written
// in binary mode: LF line ends on every platform.
class OutputFile {
public:
    explicit OutputFile(std::string FinalName, const OutputPolicy& Policy = {});
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when the temporary file could not be created (see Reason()).
    bool IsOpen() const { return Stream_.is_open(); }
    std::ostream& Stream() { return Stream_; }

    // Closes the file and moves it to its final name; false, with the reason
    // and the temporary file removed, when any write, the close or the rename failed.
    bool Commit();

    // Why the file was not written, as the system reports it.
    const std::string& Reason() const { return Reason_; }

    // True when every byte was written but the final name could not be given
    // to the file (a name too long or not allowed there): the file, not its
    // data, failed.
    bool NameRefused() const { return NameRefused_; }

private:
    bool Fail(const std::string& Why);
    // Claims the policy's slot for Temp_ before the file is created; false
    // when the slot is closed.
    bool Claim();
    // Sets the slot from Creating to Held (the file exists) or back to Idle.
    void Created(bool Exists);
    // Withdraws Temp_ from the slot once the file is gone or renamed.
    void Release();
    // Removes the temporary file.
    void Discard();

    std::string Final_, Temp_, Reason_;
    OutputPolicy Policy_;
    std::ofstream Stream_;
    bool NameRefused_ = false;
};
