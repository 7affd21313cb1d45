// Output files that appear complete or not at all.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "io/Paths.h"

// The system's words for the last failed call (errno), or Otherwise when it gave none.
std::string SystemReason(const char* Otherwise);

// Writes one output file through a short temporary name in the same folder
// ("~qm" and hex digits, never longer than the final file name, so any name
// that fits as the final one fits as the temporary one). Commit() closes it
// and renames it over the final name; until then an earlier file of that name
// is untouched, and a failed or abandoned file is removed. While a temporary
// file is open, an interrupt or termination signal removes it before the
// process ends. Files are written in binary mode: LF line ends on every
// platform.
class OutputFile {
public:
    explicit OutputFile(std::string FinalName);
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

    // A file that no output may replace (the model file): an output whose
    // final name is that file is refused.
    static void Protect(const std::string& Path);

private:
    bool Fail(const std::string& Why);
    // Removes the temporary file.
    void Discard();

    std::string Final_, Temp_, Reason_;
    std::ofstream Stream_;
    bool NameRefused_ = false;
};
