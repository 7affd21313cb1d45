// Peak memory of the real binary on the big model: a few times the model file, not more.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../../bench/BigModel.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QM_UNDER_ASAN 1
#endif

namespace {

// Runs the binary in Dir with Input on standard input and its output
// discarded; returns the exit status as waitpid gives it.
[[maybe_unused]] int RunQuietly(const std::filesystem::path& Dir, const std::string& Input) {
    const std::string InputPath = (Dir / "input.txt").string();
    std::ofstream(InputPath) << Input;
    const pid_t Child = fork();
    if (Child == 0) {
        const int In = open(InputPath.c_str(), O_RDONLY);
        const int Null = open("/dev/null", O_WRONLY);
        if (In < 0 || Null < 0 || dup2(In, 0) < 0 || dup2(Null, 1) < 0 || chdir(Dir.c_str()) != 0)
            _exit(126);
        execl(QMEXTRACT_PATH, QMEXTRACT_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }
    int Status = -1;
    if (Child > 0) waitpid(Child, &Status, 0);
    return Status;
}

TEST(PeakMemory, StaysWithinSixTimesTheModelPlus32MB) {
#ifdef QM_UNDER_ASAN
    GTEST_SKIP() << "AddressSanitizer's shadow memory and quarantine inflate the resident size; "
                    "the peak is checked in the plain build only";
#else
    const std::filesystem::path Dir = std::filesystem::temp_directory_path() /
                                      ("qmpeak-" + std::to_string(getpid()));
    std::filesystem::create_directories(Dir);
    const std::vector<uint8_t> Model = bigmodel::MakeBigModel();
    WriteFileBytes((Dir / "big.qm").string(), Model);

    const int Status = RunQuietly(Dir, "big.qm\nout\n\n");
    // The largest resident size among the children this process has waited
    // for; this test starts no other child.
    rusage Usage{};
    getrusage(RUSAGE_CHILDREN, &Usage);
    const bool WroteTextures = std::filesystem::exists(Dir / "out_tex14.bmp");
    std::filesystem::remove_all(Dir);

    ASSERT_TRUE(WIFEXITED(Status)) << "status " << Status;
    EXPECT_EQ(WEXITSTATUS(Status), 0);
    EXPECT_TRUE(WroteTextures);
    const double PeakMB = static_cast<double>(Usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
    const double ModelMB = static_cast<double>(Model.size()) / (1024.0 * 1024.0);
    const double LimitMB = 6 * ModelMB + 32;
    EXPECT_LE(PeakMB, LimitMB) << "peak " << PeakMB << " MB for a model of " << ModelMB << " MB";
    RecordProperty("PeakMB", static_cast<int>(PeakMB));
#endif
}

}  // namespace
