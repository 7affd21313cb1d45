// Running a batch: the conversions on worker threads, the result lines in order, the progress
// line and the summary.
#include "batch/Batch.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <ostream>
#include <sstream>

#include "app/Convert.h"
#include "app/Platform.h"
#include "io/Paths.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// What became of one job; Done is set last, by the worker, once the rest is final.
struct JobResult {
    ConversionResult Conversion;
    std::string Messages;  // the image class's and the loader's lines
    std::atomic<bool> Done{false};
};

// Everything the threads of one batch share.
struct Batch {
    const std::vector<BatchJob>& Jobs;
    const BatchHost& Host;
    ProtectedFiles Protected;
    std::unique_ptr<JobResult[]> Results;
    std::atomic<size_t> Next{0};    // the next job to start
    std::atomic<int> Running{0};    // workers still taking jobs
    std::atomic<size_t> Latest{0};  // the job started last, for the progress line

    bool Stopped() const { return Host.Stop != nullptr && Host.Stop->load(); }
};

// Converts one job on the worker that owns Slot.
void Convert(Batch& B, size_t Index, TempSlot* Slot) {
    const BatchJob& Job = B.Jobs[Index];
    JobResult& Result = B.Results[Index];
    ConversionResult& Conversion = Result.Conversion;
    if (Job.Earlier >= 0) {
        Conversion.Errors = {"Error: the save path " + ShownPath(Job.Save) + " is also that of " +
                             ShownPath(B.Jobs[static_cast<size_t>(Job.Earlier)].Model) +
                             ", converted before it; this model is not converted over it"};
        return;
    }
    if (Job.MakeFolder) {
        std::error_code Error;
        const fs::path Folder = Utf8Path(Job.Save).parent_path();
        if (!Folder.empty() && !fs::create_directories(Folder, Error) && Error) {
            Conversion.Errors = {"Error: cannot create the folder " + ShownPath(Utf8Text(Folder)) +
                                 ": " + Error.message()};
            return;
        }
    }
    const auto Ask = [&Job](int TexCount, std::string& SavePath, std::string& Problem) {
        Problem = SavePathError(Job.Save, TexCount);
        SavePath = Job.Save;
        return Problem.empty();
    };
    std::ostream Report(nullptr);  // the report lines of the interactive run are not shown
    std::ostringstream Messages;
    Conversion =
        ConvertModel(Job.Model, Ask, Report, Messages, {&B.Protected, &Job.Model, Slot, nullptr});
    Result.Messages = Messages.str();
}

void Work(Batch& B, int Worker) {
    for (;;) {
        if (B.Stopped()) break;
        const size_t Index = B.Next.fetch_add(1);
        if (Index >= B.Jobs.size()) break;
        B.Latest.store(Index);
        try {
            Convert(B, Index, &B.Host.Slots[Worker]);
        } catch (const std::exception& Unexpected) {
            B.Results[Index].Conversion.Errors.push_back(std::string("Error: ") +
                                                         Unexpected.what());
        }
        B.Results[Index].Done.store(true);
    }
    B.Running.fetch_sub(1);
}

std::string Count(int64_t N, const char* One, const char* Many) {
    return std::to_string(N) + " " + (N == 1 ? One : Many);
}

std::string Fixed(double Value, int Decimals) {
    char Text[64];
    std::snprintf(Text, sizeof Text, "%.*f", Decimals, Value);
    return Text;
}

bool NothingFound(const ConversionResult& R) {
    return R.Converted() && R.Objects == 0 && R.Textures == 0;
}

// The result line of a job and the lines about it, indented.
void PrintResult(std::ostream& Out, const BatchJob& Job, const JobResult& Result) {
    const ConversionResult& R = Result.Conversion;
    Out << (R.Converted() ? "ok " : "FAILED ") << Job.Model << " -> " << Job.Save;
    if (NothingFound(R))
        Out << " (nothing found: no object, no texture; most likely not a model file)";
    else if (R.Stage == ConversionStage::SavePath || R.Stage == ConversionStage::Write)
        Out << " (" << Count(R.Objects, "object", "objects") << ", "
            << Count(R.Textures, "texture", "textures") << ")";
    Out << '\n';
    std::istringstream Lines(Result.Messages);
    for (std::string Line; std::getline(Lines, Line);)
        if (!Line.empty()) Out << "    " << Line << '\n';
    for (const std::string& Line : R.Errors) Out << "    " << Line << '\n';
}

// Totals of the jobs printed so far.
struct Totals {
    int64_t Models = 0, Converted = 0, Failed = 0, Nothing = 0, Objects = 0, Textures = 0;
    int64_t Read = 0, Written = 0;

    void Add(const ConversionResult& R) {
        Models++;
        (NothingFound(R) ? Nothing : R.Converted() ? Converted : Failed)++;
        Objects += R.Objects;
        Textures += R.Textures;
        Read += R.BytesRead;
        Written += R.BytesWritten;
    }
};

// The progress line, redrawn on a terminal: models done of all, the share of
// the bytes, the speed, the time left and the model started last.
class Progress {
public:
    Progress(std::ostream& Err, bool Shown, int64_t TotalBytes)
        : Err_(Err), Shown_(Shown), Total_(TotalBytes), Start_(Clock::now()) {}

    void Draw(size_t Done, size_t All, int64_t BytesDone, const std::string& Model) {
        if (!Shown_) return;
        const double Seconds = std::chrono::duration<double>(Clock::now() - Start_).count();
        const double Rate = Seconds > 0 ? static_cast<double>(BytesDone) / Seconds : 0;
        const double Share = Total_ > 0 ? 100.0 * static_cast<double>(BytesDone) / Total_ : 0;
        // Built by appending: g++ 12 warns (-Wrestrict) on a literal + string here.
        std::string Line = "[";
        Line += std::to_string(Done) + "/" + std::to_string(All) + "] " + Fixed(Share, 0) + "% " +
                Fixed(Rate / 1e6, 1) + " MB/s";
        if (Rate > 0) {
            const auto Left = static_cast<int64_t>(static_cast<double>(Total_ - BytesDone) / Rate);
            Line += " ";
            Line += std::to_string(Left / 60) + ":" + (Left % 60 < 10 ? "0" : "") +
                    std::to_string(Left % 60) + " left";
        }
        Line += " " + Model;
        // One line of a narrow console: the end of the model's path is the part that tells.
        constexpr size_t Width = 79;
        if (CountCharacters(Line) > Width) {
            size_t Cut = Line.size() - 1;
            while (Cut > 0 && CountCharacters(Line.substr(Cut)) < Width - 3) Cut--;
            while (Cut < Line.size() && (static_cast<unsigned char>(Line[Cut]) & 0xC0) == 0x80)
                Cut++;
            Line = "..." + Line.substr(Cut);
        }
        Clear();
        Err_ << Line << std::flush;
        Drawn_ = CountCharacters(Line);
    }

    void Clear() {
        if (!Shown_ || Drawn_ == 0) return;
        Err_ << '\r' << std::string(Drawn_, ' ') << '\r' << std::flush;
        Drawn_ = 0;
    }

private:
    std::ostream& Err_;
    bool Shown_;
    int64_t Total_;
    Clock::time_point Start_;
    size_t Drawn_ = 0;
};

// Prints the results in order as the workers finish them, with the progress
// line in between; returns the totals once every started job is printed.
Totals Report(Batch& B, std::ostream& Out, std::ostream& Err, bool Quiet) {
    int64_t AllBytes = 0;
    for (const BatchJob& Job : B.Jobs) AllBytes += Job.Size;
    Progress Line(Err, B.Host.Progress, AllBytes);
    Totals Sum;
    int64_t BytesDone = 0;
    size_t Printed = 0;
    auto LastDraw = Clock::now() - std::chrono::seconds(1);
    for (;;) {
        // Read first: once no worker runs, every job they started is done.
        const bool WorkersGone = B.Running.load() == 0;
        bool Any = false;
        while (Printed < B.Jobs.size() && B.Results[Printed].Done.load()) {
            if (!Any) Line.Clear();
            Any = true;
            const JobResult& Result = B.Results[Printed];
            if (!Quiet || !Result.Conversion.Converted()) PrintResult(Out, B.Jobs[Printed], Result);
            Sum.Add(Result.Conversion);
            BytesDone += B.Jobs[Printed].Size;
            Printed++;
        }
        if (Any) Out.flush();
        if (WorkersGone) break;
        if (Clock::now() - LastDraw > std::chrono::milliseconds(100)) {
            Line.Draw(Printed, B.Jobs.size(), BytesDone, B.Jobs[B.Latest.load()].Model);
            LastDraw = Clock::now();
        }
        SleepMilliseconds(5);
    }
    Line.Clear();
    return Sum;
}

}  // namespace

int RunBatch(const std::vector<std::string>& Arguments, std::ostream& Out, std::ostream& Err,
             const BatchHost& Host) {
    BatchOptions Options;
    const int Status = ParseBatchArguments(Arguments, Options, Out, Err);
    if (Status >= 0) return Status;
    std::vector<BatchJob> Jobs;
    const std::string Problem = PlanBatch(Options, Jobs);
    if (!Problem.empty()) {
        Err << "qmbatch: " << Problem << std::endl;
        return 2;
    }

    const auto Start = Clock::now();
    Batch B{Jobs, Host, {}, std::make_unique<JobResult[]>(Jobs.size())};
    for (const BatchJob& Job : Jobs) B.Protected.Add(Job.Model);
    const int Wanted = Options.Jobs > 0 ? Options.Jobs : HardwareThreads();
    const int Workers = static_cast<int>(
        std::min<size_t>({static_cast<size_t>(Wanted), Jobs.size(), static_cast<size_t>(MaxJobs)}));
    B.Running.store(Workers);
    Totals Sum;
    RunThreads(Workers + 1, [&](int Thread) {
        if (Thread < Workers) {
            Work(B, Thread);
        } else {
            Sum = Report(B, Out, Err, Options.Quiet);
        }
    });

    const double Seconds = std::chrono::duration<double>(Clock::now() - Start).count();
    Out << Sum.Models << " models: " << Sum.Converted << " converted, " << Sum.Failed << " failed, "
        << Sum.Nothing << " with nothing found; " << Count(Sum.Objects, "object", "objects") << ", "
        << Count(Sum.Textures, "texture", "textures") << "; "
        << Fixed(static_cast<double>(Sum.Read) / 1e6, 1) << " MB read, "
        << Fixed(static_cast<double>(Sum.Written) / 1e6, 1) << " MB written in "
        << Fixed(Seconds, 2) << " s";
    const bool Interrupted = B.Stopped();
    if (Interrupted)
        Out << "; interrupted, "
            << Count(static_cast<int64_t>(Jobs.size()) - Sum.Models, "model", "models")
            << " not started";
    Out << std::endl;
    if (Interrupted) return InterruptedStatus();
    return Sum.Failed > 0 ? 1 : 0;
}
