// The batch converter: many model files in one process, in parallel, with the interactive
// tool's bytes for every model.
#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "io/OutputFile.h"

// What the command line asks for.
struct BatchOptions {
    std::vector<std::string> Paths;  // model files and folders, as given
    std::string Output;              // -o: the folder that mirrors them; "" for beside each model
    int Jobs = 0;                    // -j: models converted at once; 0 for the hardware's threads
    bool Quiet = false;              // -q: failed models and the summary only
};

// The most models converted at once.
inline constexpr int MaxJobs = 256;

// Reads the arguments after the program name into Options. Returns -1 when
// the batch should run; otherwise the program's exit status: 0 after --help
// (the usage on Out) or --version ("qmbatch <version>" on Out), 2 after a
// usage error (one line on Err).
int ParseBatchArguments(const std::vector<std::string>& Arguments, BatchOptions& Options,
                        std::ostream& Out, std::ostream& Err);

// One model of a batch and where its outputs go.
struct BatchJob {
    std::string Model;  // the model file, as found
    std::string Save;   // the save path: outputs Save + ".obj" and Save + "_tex<N>.bmp"
    bool MakeFolder;    // the save path's folder is created first (-o)
    int Earlier = -1;  // the earlier job with the same save path, which this one must not overwrite
    int64_t Size = 0;  // the model file's size in bytes, for the progress line
};

// The models that Options names, in order: each PATH as given, a folder's
// files whose names end in ".qm" (in any case) found recursively without
// following links to folders and sorted by path. Each gets its save path:
// its own path without the extension, or, with -o, the same place below the
// output folder (a file PATH directly in it). Save paths are compared without
// regard to letter case, so that no job writes over another's outputs on any
// file system. Returns "" or the usage error (a PATH that does not exist, a
// folder with no model, an output folder that is a file).
std::string PlanBatch(const BatchOptions& Options, std::vector<BatchJob>& Jobs);

// What the program lends the batch: the flag that Ctrl-C sets, the slots
// where the conversions publish their temporary files (one per job at once,
// at least MaxJobs), whether a progress line may be drawn on Err, and what to
// call between prints (the program's EndIfSignalled).
struct BatchHost {
    const std::atomic<bool>* Stop = nullptr;
    TempSlot* Slots = nullptr;
    bool Progress = false;
    void (*Poll)() = nullptr;  // called often by the thread that prints, which writes no file
};

// Runs the batch that Arguments ask for. Standard output (Out) gets one
// result line per model, in order, each followed by the model's messages
// indented, then the summary line; Err gets usage errors and the progress
// line. Returns 0 when every model was converted with every output written,
// 1 when any failed, 2 on a usage error, and InterruptedStatus when Stop
// was set before every model was started.
int RunBatch(const std::vector<std::string>& Arguments, std::ostream& Out, std::ostream& Err,
             const BatchHost& Host);
