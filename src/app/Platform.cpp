// The host on each platform. Windows: wide-character console streams and command line,
// code-page decoding, name limits and Win32 threads; elsewhere the standard library as it is.
#include "app/Platform.h"

#include <iostream>

#ifdef _WIN32

#include <windows.h>

// Needs windows.h first.
#include <shellapi.h>

#include <streambuf>
#include <vector>

#include "io/Paths.h"

namespace {

// Reads a console window as UTF-16 with ReadConsoleW and hands the text on as
// UTF-8, whatever the console's code page.
class WideConsoleBuffer : public std::streambuf {
public:
    explicit WideConsoleBuffer(HANDLE Console) : Console_(Console) {}

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        wchar_t Wide[1024];
        DWORD Count = 0;
        if (!ReadConsoleW(Console_, Wide, 1024, &Count, nullptr) || Count == 0)
            return traits_type::eof();
        // Ctrl+Z at the start of a line ends the input, as it does for a file.
        if (Wide[0] == 26) return traits_type::eof();
        const int Size = WideCharToMultiByte(CP_UTF8, 0, Wide, static_cast<int>(Count), nullptr, 0,
                                             nullptr, nullptr);
        Bytes_.resize(static_cast<size_t>(Size > 0 ? Size : 0));
        if (Size > 0)
            WideCharToMultiByte(CP_UTF8, 0, Wide, static_cast<int>(Count), Bytes_.data(), Size,
                                nullptr, nullptr);
        if (Bytes_.empty()) return traits_type::eof();
        setg(Bytes_.data(), Bytes_.data(), Bytes_.data() + Bytes_.size());
        return traits_type::to_int_type(*gptr());
    }

private:
    HANDLE Console_;
    std::vector<char> Bytes_;
};

// Writes UTF-8 text to a console window as UTF-16 with WriteConsoleW, so
// names show as they are whatever the console's code page. A character split
// across two writes waits for its last bytes.
class WideConsoleOutput : public std::streambuf {
public:
    explicit WideConsoleOutput(HANDLE Console) : Console_(Console) {}

protected:
    int_type overflow(int_type C) override {
        if (traits_type::eq_int_type(C, traits_type::eof())) return sync() == 0 ? 0 : C;
        Bytes_ += traits_type::to_char_type(C);
        if (Bytes_.size() >= 4096 && sync() != 0) return traits_type::eof();
        return C;
    }
    std::streamsize xsputn(const char* Text, std::streamsize Count) override {
        Bytes_.append(Text, static_cast<size_t>(Count));
        if (Bytes_.size() >= 4096 && sync() != 0) return 0;
        return Count;
    }
    int sync() override {
        const size_t End = WholeUtf8Prefix(Bytes_);
        const int Count =
            MultiByteToWideChar(CP_UTF8, 0, Bytes_.data(), static_cast<int>(End), nullptr, 0);
        std::wstring Wide(static_cast<size_t>(Count > 0 ? Count : 0), L'\0');
        if (Count > 0)
            MultiByteToWideChar(CP_UTF8, 0, Bytes_.data(), static_cast<int>(End), Wide.data(),
                                Count);
        Bytes_.erase(0, End);
        DWORD Written = 0;
        return Wide.empty() || WriteConsoleW(Console_, Wide.data(), static_cast<DWORD>(Wide.size()),
                                             &Written, nullptr)
                   ? 0
                   : -1;
    }

private:
    HANDLE Console_;
    std::string Bytes_;
};

// The code page of the system's ANSI text; the process's own may be UTF-8.
UINT SystemAnsiCodePage() {
    UINT CodePage = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&CodePage), sizeof CodePage / sizeof(wchar_t)) == 0)
        return 1252;
    return CodePage;
}

// The standard handle Which when it is a console window; null for a file or a pipe.
HANDLE ConsoleHandle(DWORD Which) {
    const HANDLE Handle = GetStdHandle(Which);
    DWORD Mode = 0;
    return Handle != INVALID_HANDLE_VALUE && GetConsoleMode(Handle, &Mode) ? Handle : nullptr;
}

// The stream of the standard handle Which: read or written as wide characters
// through Buffer when it is a console window, else Fallback.
template <DWORD Which, class Buffer, class Stream>
Stream& WideStream(Stream& Fallback) {
    static const HANDLE Handle = ConsoleHandle(Which);
    if (Handle == nullptr) return Fallback;
    static Buffer Wide(Handle);
    static Stream Console(&Wide);
    return Console;
}

}  // namespace

std::istream& ConsoleInput() { return WideStream<STD_INPUT_HANDLE, WideConsoleBuffer>(std::cin); }

std::ostream& ConsoleOutput() {
    return WideStream<STD_OUTPUT_HANDLE, WideConsoleOutput>(std::cout);
}

std::ostream& ConsoleError() {
    std::ostream& Stream = WideStream<STD_ERROR_HANDLE, WideConsoleOutput>(std::cerr);
    Stream.setf(std::ios::unitbuf);  // unbuffered, as std::cerr is
    return Stream;
}

bool StandardErrorIsTerminal() { return ConsoleHandle(STD_ERROR_HANDLE) != nullptr; }

std::vector<std::string> CommandLineArguments(int, char**) {
    std::vector<std::string> Arguments;
    int Count = 0;
    LPWSTR* Wide = CommandLineToArgvW(GetCommandLineW(), &Count);
    if (Wide == nullptr) return Arguments;
    for (int k = 1; k < Count; k++) {
        const int Length = static_cast<int>(wcslen(Wide[k]));
        const int Size =
            WideCharToMultiByte(CP_UTF8, 0, Wide[k], Length, nullptr, 0, nullptr, nullptr);
        std::string Text(static_cast<size_t>(Size > 0 ? Size : 0), '\0');
        if (Size > 0)
            WideCharToMultiByte(CP_UTF8, 0, Wide[k], Length, Text.data(), Size, nullptr, nullptr);
        Arguments.push_back(std::move(Text));
    }
    LocalFree(Wide);
    return Arguments;
}

bool OwnsConsoleWindow() {
    DWORD Processes[2];
    return GetConsoleProcessList(Processes, 2) == 1;
}

int HardwareThreads() {
    SYSTEM_INFO Info;
    GetSystemInfo(&Info);
    return Info.dwNumberOfProcessors > 0 ? static_cast<int>(Info.dwNumberOfProcessors) : 1;
}

namespace {

struct ThreadWork {
    const std::function<void(int)>* Work;
    int Index;
};

DWORD WINAPI ThreadStart(LPVOID Argument) {
    const ThreadWork* Item = static_cast<const ThreadWork*>(Argument);
    (*Item->Work)(Item->Index);
    return 0;
}

}  // namespace

void RunThreads(int Count, const std::function<void(int)>& Work) {
    std::vector<ThreadWork> Items;
    for (int k = 0; k < Count; k++) Items.push_back({&Work, k});
    std::vector<HANDLE> Threads;
    for (ThreadWork& Item : Items) {
        const HANDLE Thread = CreateThread(nullptr, 0, ThreadStart, &Item, 0, nullptr);
        // Without a thread of its own, the work runs here.
        if (Thread == nullptr) {
            Work(Item.Index);
            continue;
        }
        Threads.push_back(Thread);
    }
    for (const HANDLE Thread : Threads) {
        WaitForSingleObject(Thread, INFINITE);
        CloseHandle(Thread);
    }
}

void SleepMilliseconds(int Milliseconds) { Sleep(static_cast<DWORD>(Milliseconds)); }

int InterruptedStatus() { return static_cast<int>(0xC000013AUL); }

bool IsLink(const std::filesystem::path& Path) {
    // The C++ library does not see junctions, nor always symbolic links, here.
    const DWORD Attributes = GetFileAttributesW(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool LocalToUtf8(std::string& Text) {
    if (IsUtf8(Text)) return true;
    UINT CodePage = GetConsoleCP();
    if (CodePage == 0) CodePage = SystemAnsiCodePage();
    if (CodePage == CP_UTF8) return false;
    const int Size = static_cast<int>(Text.size());
    const int Count =
        MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Text.data(), Size, nullptr, 0);
    if (Count <= 0) return false;
    std::wstring Wide(static_cast<size_t>(Count), L'\0');
    MultiByteToWideChar(CodePage, MB_ERR_INVALID_CHARS, Text.data(), Size, Wide.data(), Count);
    const int Bytes =
        WideCharToMultiByte(CP_UTF8, 0, Wide.data(), Count, nullptr, 0, nullptr, nullptr);
    if (Bytes <= 0) return false;
    std::string Utf8(static_cast<size_t>(Bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide.data(), Count, Utf8.data(), Bytes, nullptr, nullptr);
    Text = std::move(Utf8);
    return true;
}

NameLimits HostNameLimits() {
    // RtlAreLongPathsEnabled (Windows 10 version 1607 and later) says whether
    // this process may use paths past MAX_PATH; where it is missing, none may.
    using Query = BOOLEAN(WINAPI*)();
    BOOLEAN Long = FALSE;
    if (const HMODULE Ntdll = GetModuleHandleW(L"ntdll.dll")) {
        const auto Ask = reinterpret_cast<Query>(
            reinterpret_cast<void*>(GetProcAddress(Ntdll, "RtlAreLongPathsEnabled")));
        if (Ask != nullptr) Long = Ask();
    }
    return NameLimits{255, Long ? 32767u : MAX_PATH - 1u, true};
}

#else

#include <unistd.h>

#include <chrono>
#include <thread>

std::istream& ConsoleInput() { return std::cin; }

std::ostream& ConsoleOutput() { return std::cout; }

bool LocalToUtf8(std::string&) { return true; }

NameLimits HostNameLimits() { return NameLimits{255, 0, false}; }

std::ostream& ConsoleError() { return std::cerr; }

bool StandardErrorIsTerminal() { return isatty(2) != 0; }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
}

bool OwnsConsoleWindow() { return false; }

int HardwareThreads() {
    const unsigned Count = std::thread::hardware_concurrency();
    return Count > 0 ? static_cast<int>(Count) : 1;
}

void RunThreads(int Count, const std::function<void(int)>& Work) {
    std::vector<std::thread> Threads;
    for (int k = 0; k < Count; k++) Threads.emplace_back(Work, k);
    for (std::thread& Thread : Threads) Thread.join();
}

void SleepMilliseconds(int Milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

int InterruptedStatus() { return 130; }

bool IsLink(const std::filesystem::path& Path) {
    std::error_code Error;
    return std::filesystem::is_symlink(std::filesystem::symlink_status(Path, Error));
}

#endif
