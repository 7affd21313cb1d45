// Soak test: thousands of hostile model files through the real qmextract binary, within a time budget.
//
// Usage: soak [--seconds N] [--scaling]
// Each case is a model file, built from the seed models and then damaged
// (truncated, header fields set to edge values, per-object counts far beyond
// the file, markers at the edges, NaN and infinite floats, texture sides zero,
// negative, odd or huge) or made of random bytes. The binary runs in a fresh
// folder with "model\nout\n" on standard input. Checked for every case: exit
// status 0 or 1, nothing on standard error (where sanitizer reports go), only
// out.obj and out_tex<k>.bmp written, their number and sizes within bounds of
// the input size, and a wall time under 10 s.
//
// The fixed cases run first in a shuffled order, then random ones until the
// time budget (QM_SOAK_SECONDS, default 90) is spent; at least 200 and at
// most 5000 cases run. --scaling instead runs adversarial shapes at two sizes
// 8 times apart and checks that the time grows no faster than 16 times.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "FuzzSupport.h"
#include "ModelBuilder.h"
#include "SeedModels.h"
#include "model/GeometryScan.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr double CaseSeconds = 10.0;   // wall time allowed per case
constexpr double KillSeconds = 120.0;  // a run still going by then is killed
constexpr int MaxFailures = 10;

struct Case {
    std::string Name;
    Bytes Data;
};

struct Outcome {
    bool Ok = true;
    std::string Problem;
    double Seconds = 0;
    uint64_t ObjBytes = 0, BmpBytes = 0;
};

// Runs the binary in Folder with stdin from Folder/input; returns the exit
// status as a waitpid status, or -1 when it had to be killed.
int RunBinary(const fs::path& Folder, double& Seconds) {
    const auto Start = Clock::now();
    const pid_t Child = fork();
    if (Child < 0) {
        std::perror("soak: fork");
        std::exit(2);
    }
    if (Child == 0) {
        if (chdir(Folder.c_str()) != 0) _exit(126);
        const int In = open("input", O_RDONLY);
        const int Out = open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int Err = open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (In < 0 || Out < 0 || Err < 0) _exit(126);
        dup2(In, 0);
        dup2(Out, 1);
        dup2(Err, 2);
        execl(QMEXTRACT_PATH, "qmextract", static_cast<char*>(nullptr));
        _exit(127);
    }
    int Status = 0;
    for (;;) {
        const pid_t Done = waitpid(Child, &Status, WNOHANG);
        Seconds = std::chrono::duration<double>(Clock::now() - Start).count();
        if (Done == Child) return Status;
        if (Seconds > KillSeconds) {
            kill(Child, SIGKILL);
            waitpid(Child, &Status, 0);
            return -1;
        }
        usleep(Seconds < 0.05 ? 200 : 2000);
    }
}

Outcome RunCase(const fs::path& Folder, const Bytes& Data) {
    Outcome R;
    std::error_code E;
    fs::remove_all(Folder, E);
    fs::create_directories(Folder);
    WriteFileBytes((Folder / "model").string(), Data);
    WriteFileBytes((Folder / "input").string(), Bytes{'m', 'o', 'd', 'e', 'l', '\n', 'o', 'u', 't', '\n'});

    const int Status = RunBinary(Folder, R.Seconds);
    auto Fail = [&](const std::string& Why) {
        if (R.Ok) R.Problem = Why;
        R.Ok = false;
    };
    if (Status == -1)
        Fail("killed after " + std::to_string(KillSeconds) + " s");
    else if (!WIFEXITED(Status))
        Fail("ended by signal " + std::to_string(WTERMSIG(Status)));
    else if (WEXITSTATUS(Status) != 0 && WEXITSTATUS(Status) != 1)
        Fail("exit status " + std::to_string(WEXITSTATUS(Status)));
    if (R.Seconds > CaseSeconds) Fail("took " + std::to_string(R.Seconds) + " s");

    const uint64_t Size = Data.size();
    uint64_t Images = 0;
    for (const auto& Entry : fs::directory_iterator(Folder)) {
        const std::string Name = Entry.path().filename().string();
        const uint64_t Bytes = fs::file_size(Entry.path());
        if (Name == "model" || Name == "input") continue;
        if (Name == "stderr") {
            if (Bytes != 0) Fail("wrote " + std::to_string(Bytes) + " bytes to standard error");
        } else if (Name == "stdout") {
            const uint64_t Limit = 4096 + 64 * (Size / 41 + ImageLimit(Size));
            if (Bytes > Limit) Fail("console output " + std::to_string(Bytes) + " bytes");
        } else if (Name == "out.obj") {
            R.ObjBytes = Bytes;
        } else if (Name.rfind("out_tex", 0) == 0 && Name.size() > 11 &&
                   Name.compare(Name.size() - 4, 4, ".bmp") == 0) {
            Images++;
            R.BmpBytes += Bytes;
        } else {
            Fail("wrote an unexpected file " + Name);
        }
    }
    if (R.ObjBytes > ObjByteLimit(Size))
        Fail("OBJ file of " + std::to_string(R.ObjBytes) + " bytes");
    if (Images > ImageLimit(Size)) Fail(std::to_string(Images) + " BMP files");
    if (R.BmpBytes > BmpByteLimit(Size)) Fail("BMP files of " + std::to_string(R.BmpBytes) + " bytes");
    if (!R.Ok) {
        std::string Err;
        const Bytes ErrBytes = ReadFileBytes((Folder / "stderr").string());
        Err.assign(ErrBytes.begin(), ErrBytes.begin() + std::min<size_t>(ErrBytes.size(), 2000));
        if (!Err.empty()) R.Problem += "\n--- standard error:\n" + Err;
    }
    return R;
}

// ---- Case generation ----

int32_t Edge32(int k) {
    constexpr int32_t Values[] = {0, -1, INT32_MAX, INT32_MIN};
    return Values[k];
}

std::vector<size_t> TextureMarkers(const Bytes& B) {
    std::vector<size_t> Found;
    for (size_t i = 0; i + 8 <= B.size(); i++) {
        bool Zeros = B[i + 7] == 0x99;
        for (int k = 0; k < 7 && Zeros; k++) Zeros = B[i + k] == 0;
        if (Zeros) Found.push_back(i);
    }
    return Found;
}

std::vector<int> ObjectMarkers(const Bytes& B) {
    return FindObjectMarkers(B.data(), static_cast<int>(B.size()), INT_MAX);
}

void Put32(Bytes& B, int64_t At, uint32_t V) {
    if (At >= 0 && At + 4 <= static_cast<int64_t>(B.size())) PutU32(B, static_cast<size_t>(At), V);
}
void Put16(Bytes& B, int64_t At, int16_t V) {
    if (At >= 0 && At + 2 <= static_cast<int64_t>(B.size())) PutI16(B, static_cast<size_t>(At), V);
}

std::vector<Case> FixedCases() {
    using namespace SeedModels;
    const std::pair<const char*, Bytes> Seeds[] = {{"basic", Basic().Build()},
                                                  {"strips", StripJoins().Build()},
                                                  {"edge-markers", EdgeMarkers().Build()},
                                                  {"edge-values", EdgeValues().Build()}};
    std::vector<Case> Cases;
    auto Add = [&](std::string Name, Bytes B) { Cases.push_back({std::move(Name), std::move(B)}); };

    for (const auto& [SeedName, Seed] : Seeds) {
        const std::string S = SeedName;
        const int64_t Size = static_cast<int64_t>(Seed.size());
        Add(S, Seed);

        // Every header field at the four edge values, and at sizes just past the file.
        for (const int Field : {8, 12, 72, 76, 84, 92, 96, 108, 192, 196, 208}) {
            for (int k = 0; k < 4; k++) {
                Bytes B = Seed;
                Put32(B, Field, static_cast<uint32_t>(Edge32(k)));
                Add(S + "-field" + std::to_string(Field) + "-" + std::to_string(Edge32(k)), B);
            }
            for (const int64_t V : {Size, Size - 63, Size / 2}) {
                Bytes B = Seed;
                Put32(B, Field, static_cast<uint32_t>(V));
                Add(S + "-field" + std::to_string(Field) + "=" + std::to_string(V), B);
            }
        }

        // Truncations at structural points, and at a stride.
        std::vector<int64_t> Cuts = {0, 1, 16, 17, 60, 211, 212, 213};
        for (const int p : ObjectMarkers(Seed))
            for (const int d : {-61, -60, -1, 0, 11, 12, 52, 55, 56, 60, 61})
                Cuts.push_back(p + d);
        for (const size_t m : TextureMarkers(Seed))
            for (const int d : {-17, -16, -14, -1, 0, 7, 8, 9, 23, 24, 25})
                Cuts.push_back(static_cast<int64_t>(m) + d);
        for (int64_t c = 0; c < Size; c += 97) Cuts.push_back(c);
        for (const int64_t c : Cuts)
            if (c >= 0 && c < Size) Add(S + "-cut" + std::to_string(c), Bytes(Seed.begin(), Seed.begin() + c));

        // Per-object counts far beyond the file, marker floats at and past the edges.
        for (const int p : ObjectMarkers(Seed)) {
            const std::string P = S + "-object" + std::to_string(p);
            for (int k = 0; k < 4; k++) {
                Bytes B = Seed;
                Put32(B, p - 60, static_cast<uint32_t>(Edge32(k)));
                Add(P + "-palette" + std::to_string(Edge32(k)), B);
                B = Seed;
                Put32(B, p + 52, static_cast<uint32_t>(Edge32(k)));
                Add(P + "-strip" + std::to_string(Edge32(k)), B);
            }
            for (const uint32_t F : {0x7FC00000u, 0xFFC00000u, 0x7F800000u, 0xFF800000u, 0x3E4CCCCCu,
                                     0x3F800000u, 0x80000000u, 0x00000001u}) {
                Bytes B = Seed;
                for (int k = 0; k < 3; k++) Put32(B, p + 4 * k, F);
                Add(P + "-marker" + std::to_string(F), B);
            }
        }

        // Texture sides: zero, negative, odd and huge, one side or both.
        for (const size_t m : TextureMarkers(Seed)) {
            const std::string T = S + "-texture" + std::to_string(m);
            for (const int16_t V : {0, -1, -32768, 1, 3, 5, 7, 32767, 4096}) {
                Bytes B = Seed;
                Put16(B, static_cast<int64_t>(m) - 16, V);
                Add(T + "-width" + std::to_string(V), B);
                B = Seed;
                Put16(B, static_cast<int64_t>(m) - 14, V);
                Add(T + "-height" + std::to_string(V), B);
                B = Seed;
                Put16(B, static_cast<int64_t>(m) - 16, V);
                Put16(B, static_cast<int64_t>(m) - 14, V);
                Add(T + "-sides" + std::to_string(V), B);
            }
        }

        // Markers at the edges of the buffer and of the texture spacing rule.
        const int64_t TexStart = static_cast<int64_t>(Seed[12] | Seed[13] << 8 | Seed[14] << 16);
        for (const int64_t At : {Size - 8, Size - 7, Size - 1, int64_t{0}, int64_t{8}, TexStart + 500,
                                 TexStart + 501, TexStart - 8}) {
            Bytes B = Seed;
            for (int k = 0; k < 8; k++)
                if (At + k >= 0 && At + k < Size) B[static_cast<size_t>(At + k)] = k == 7 ? 0x99 : 0;
            Add(S + "-texmarker-at" + std::to_string(At), B);
        }
        for (const int64_t At : {Size - 16, Size - 17, Size - 12, int64_t{0}, int64_t{59}, int64_t{60}}) {
            Bytes B = Seed;
            for (int k = 0; k < 3; k++) Put32(B, At + 4 * k, 0x3F000000u);
            Put32(B, 96, 100);
            Add(S + "-marker-at" + std::to_string(At), B);
        }
    }
    return Cases;
}

// A random case: random bytes, a seed with random damage, or a seed with edge words at random offsets.
Case RandomCase(std::mt19937& Rng, const std::vector<Case>& Seeds, uint64_t Number) {
    const int Kind = static_cast<int>(Rng() % 3);
    if (Kind == 0) {
        Bytes B(Rng() % 8192);
        for (uint8_t& b : B) b = static_cast<uint8_t>(Rng());
        // Often give it a plausible header, so the scans go deeper.
        if (B.size() >= 212 && Rng() % 2)
            for (const int Field : {8, 12, 72, 76, 84, 92, 96, 108, 192, 196, 208})
                Put32(B, Field, static_cast<uint32_t>(Rng() % B.size()));
        return {"random" + std::to_string(Number), B};
    }
    Bytes B = Seeds[Rng() % Seeds.size()].Data;
    const int Edits = 1 + static_cast<int>(Rng() % 8);
    for (int e = 0; e < Edits && !B.empty(); e++) {
        const size_t At = Rng() % B.size();
        if (Kind == 1) {
            B[At] = static_cast<uint8_t>(Rng());
        } else {
            constexpr uint32_t Words[] = {0u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x7FC00000u,
                                          0x7F800000u, 0x3F000000u, 0x99000000u};
            Put32(B, static_cast<int64_t>(At), Words[Rng() % 8]);
        }
    }
    if (Rng() % 4 == 0) B.resize(Rng() % (B.size() + 1));
    return {"damaged" + std::to_string(Number), B};
}

// ---- Scaling shapes: each builds a file of about Size bytes ----

// Object markers everywhere, every header count at its maximum, sections over the whole file.
Bytes MarkerCarpet(size_t Size) {
    Bytes B(Size);
    for (size_t i = 0; i + 4 <= Size; i += 4) PutU32(B, i, 0x3F000000u);
    for (const int Field : {76, 84, 96, 108, 192}) PutI32(B, Field, INT32_MAX);
    for (const int Field : {72, 92, 196}) PutI32(B, Field, -64);
    PutI32(B, 208, 256 - 64);
    return B;
}

// Texture markers every 501 bytes, each with a 16 x 16 texture.
Bytes TextureCarpet(size_t Size) {
    Bytes B(Size, 0xAB);
    PutI32(B, 8, INT32_MAX);
    PutI32(B, 12, 256);
    for (size_t m = 256; m + 8 + 256 <= Size; m += 501) {
        PutI16(B, m - 16, 16);
        PutI16(B, m - 14, 16);
        for (int k = 0; k < 8; k++) B[m + k] = k == 7 ? 0x99 : 0;
    }
    return B;
}

// One object whose strip covers a whole-file index list naming one vertex with a NaN position.
Bytes NaNFlood(size_t Size) {
    ModelBuilder M;
    BuilderVertex V;
    V.X = std::bit_cast<float>(0x7FC00000u);
    M.Vertices = {V};
    BuilderObject O;
    O.Strip = {0, 0, 0};
    M.Objects = {O};
    Bytes B = M.Build();
    Bytes Out(B.begin(), B.end());
    Out.resize(Size, 0);
    PutI32(Out, 108, static_cast<int32_t>(Size - 64));
    const int p = ObjectMarkers(B).front();
    PutI32(Out, p + 52, INT32_MAX);
    return Out;
}

// Distinct vertices, one strip naming each once. With Crafted, every position
// is chosen so that the OBJ writer's position hash puts it in the lowest
// 32nd of its table: the work per vertex stays the same only if the table
// copes with values an attacker picked.
Bytes DistinctVertices(size_t Size, bool Crafted) {
    const int N = static_cast<int>(std::min<size_t>((Size - 512) / 50, 32767));
    size_t Capacity = 16;
    while (Capacity < 2 * static_cast<size_t>(N)) Capacity *= 2;
    auto Slot = [&](uint32_t X, uint32_t Y) {
        uint64_t H = 0x9E3779B97F4A7C15ull;
        for (const uint32_t W : {X, Y, 0u}) H = (H ^ W) * 0xBF58476D1CE4E5B9ull;
        return (H ^ (H >> 31)) & (Capacity - 1);
    };
    ModelBuilder M;
    M.AllowStrayMarkers = true;
    std::mt19937 Rng(7);
    BuilderObject O;
    while (static_cast<int>(M.Vertices.size()) < N) {
        BuilderVertex V;
        V.X = static_cast<float>(Rng() % 1000000) / 7.0f + 2.0f;
        V.Y = static_cast<float>(Rng() % 1000) / 3.0f + 2.0f;
        V.Z = 0;
        if (Crafted && Slot(std::bit_cast<uint32_t>(V.X), std::bit_cast<uint32_t>(V.Y)) >= Capacity / 32)
            continue;
        O.Strip.push_back(static_cast<int16_t>(M.Vertices.size()));
        M.Vertices.push_back(V);
    }
    M.Objects = {O};
    return M.Build();
}

Bytes RandomBytes(size_t Size) {
    std::mt19937 Rng(11);
    Bytes B(Size);
    for (uint8_t& b : B) b = static_cast<uint8_t>(Rng());
    return B;
}

int Scaling(const fs::path& Work) {
    struct Shape {
        const char* Name;
        std::function<Bytes(size_t)> Make;
    };
    const Shape Shapes[] = {
        {"object markers everywhere", MarkerCarpet},
        {"texture markers every 501 bytes", TextureCarpet},
        {"index list naming a NaN vertex", NaNFlood},
        {"distinct vertices", [](size_t S) { return DistinctVertices(S, false); }},
        {"distinct vertices crafted for the position hash",
         [](size_t S) { return DistinctVertices(S, true); }},
        {"random bytes", RandomBytes},
    };
    constexpr size_t SmallSize = 200 * 1024, LargeSize = 8 * SmallSize;
    int Failures = 0;
    std::vector<double> Large;
    for (const Shape& S : Shapes) {
        const Bytes A = S.Make(SmallSize), B = S.Make(LargeSize);
        const Outcome Ra = RunCase(Work / "scaling", A);
        const Outcome Rb = RunCase(Work / "scaling", B);
        // The small run includes the process start, so this allows some noise too.
        const double Limit = 16 * Ra.Seconds + 0.5;
        const bool Ok = Ra.Ok && Rb.Ok && Rb.Seconds <= Limit;
        std::printf("%-60s %8zu bytes %7.3f s, %8zu bytes %7.3f s (limit %.3f s)%s\n", S.Name, A.size(),
                    Ra.Seconds, B.size(), Rb.Seconds, Limit, Ok ? "" : "  FAILED");
        if (!Ra.Ok) std::printf("  small file: %s\n", Ra.Problem.c_str());
        if (!Rb.Ok) std::printf("  large file: %s\n", Rb.Problem.c_str());
        Failures += Ok ? 0 : 1;
        Large.push_back(Rb.Seconds);
    }
    // Crafted and plain values of the same count: the same work is expected.
    const double Plain = Large[3], Crafted = Large[4];
    if (Crafted > 4 * Plain + 0.5) {
        std::printf("crafted positions took %.3f s against %.3f s for plain ones  FAILED\n", Crafted,
                    Plain);
        Failures++;
    }
    return Failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    double Budget = 90;
    if (const char* E = std::getenv("QM_SOAK_SECONDS")) Budget = std::atof(E);
    bool ScalingOnly = false;
    for (int a = 1; a < argc; a++) {
        if (std::strcmp(argv[a], "--seconds") == 0 && a + 1 < argc) Budget = std::atof(argv[++a]);
        if (std::strcmp(argv[a], "--scaling") == 0) ScalingOnly = true;
    }
    std::string Template = (fs::temp_directory_path() / "qmsoak-XXXXXX").string();
    if (mkdtemp(Template.data()) == nullptr) {
        std::perror("soak: mkdtemp");
        return 2;
    }
    const fs::path Work = Template;
    const fs::path FailFolder = fs::current_path() / "soak-failures";
    struct Cleanup {
        fs::path P;
        ~Cleanup() {
            std::error_code E;
            fs::remove_all(P, E);
        }
    } Remove{Work};

    if (ScalingOnly) return Scaling(Work);

    std::vector<Case> Cases = FixedCases();
    std::shuffle(Cases.begin(), Cases.end(), std::mt19937(3));
    const std::vector<Case> Seeds(Cases.begin(), Cases.end());
    const size_t Fixed = Cases.size();
    constexpr uint64_t MinCases = 200, MaxCases = 5000;

    std::mt19937 Rng(20240601);
    const auto Start = Clock::now();
    uint64_t Ran = 0, Failures = 0;
    double Slowest = 0, ObjRatio = 0, BmpRatio = 0;
    for (;;) {
        const double Elapsed = std::chrono::duration<double>(Clock::now() - Start).count();
        if (Ran >= MaxCases || (Ran >= MinCases && Elapsed > Budget)) break;
        const Case C = Ran < Fixed ? Cases[Ran] : RandomCase(Rng, Seeds, Ran);
        const Outcome R = RunCase(Work / "case", C.Data);
        Ran++;
        Slowest = std::max(Slowest, R.Seconds);
        if (C.Data.size() >= 256) {
            ObjRatio = std::max(ObjRatio, static_cast<double>(R.ObjBytes) / static_cast<double>(C.Data.size()));
            BmpRatio = std::max(BmpRatio, static_cast<double>(R.BmpBytes) / static_cast<double>(C.Data.size()));
        }
        if (!R.Ok) {
            Failures++;
            fs::create_directories(FailFolder);
            WriteFileBytes((FailFolder / (C.Name + ".qm")).string(), C.Data);
            std::printf("FAILED %s (%zu bytes): %s\n  kept as %s\n", C.Name.c_str(), C.Data.size(),
                        R.Problem.c_str(), (FailFolder / (C.Name + ".qm")).c_str());
            if (Failures >= MaxFailures) break;
        }
    }
    const double Elapsed = std::chrono::duration<double>(Clock::now() - Start).count();
    std::printf("soak: %llu cases (%zu fixed) in %.1f s, %llu failed; slowest %.3f s; "
                "largest OBJ/input %.2f, BMP/input %.2f\n",
                static_cast<unsigned long long>(Ran), std::min<size_t>(Fixed, Ran), Elapsed,
                static_cast<unsigned long long>(Failures), Slowest, ObjRatio, BmpRatio);
    return Failures == 0 ? 0 : 1;
}
