// The batch converter's command line, read with CLI11.
#include <CLI/CLI.hpp>

#include <ostream>

#include "batch/Batch.h"
#include "qm_version.h"

QM_PROGRAM("qmbatch");

int ParseBatchArguments(const std::vector<std::string>& Arguments, BatchOptions& Options,
                        std::ostream& Out, std::ostream& Err) {
    CLI::App App{
        "Converts Quennmire model files (.qm) to Wavefront OBJ and 32-bit BMP files, the same "
        "bytes as qmextract writes. Each PATH is a model file (any name) or a folder, searched "
        "for *.qm files through its subfolders.",
        "qmbatch"};
    App.add_option("-o,--output", Options.Output,
                   "Write below DIR, mirroring the folders below each PATH (a file PATH goes "
                   "directly into DIR); without it, each model's files go beside it")
        ->type_name("DIR");
    App.add_option("-j,--jobs", Options.Jobs,
                   "Convert up to N models at once (default: the number of hardware threads)")
        ->check(CLI::Range(1, MaxJobs))
        ->type_name("N");
    App.add_flag("-q,--quiet", Options.Quiet, "Print only the failed models and the summary");
    bool Version = false;
    App.add_flag("--version", Version, "Print the version and exit");
    App.add_option("PATH", Options.Paths, "Model files and folders to convert")->type_name("PATH");
    App.footer(
        "Exit status: 0 when every model was converted with every output written, 1 when any "
        "failed, 2 on a usage error, 130 when interrupted.");

    // CLI11 takes the arguments last first.
    std::vector<std::string> Reversed(Arguments.rbegin(), Arguments.rend());
    try {
        App.parse(Reversed);
    } catch (const CLI::CallForHelp&) {
        Out << App.help();
        return 0;
    } catch (const CLI::ParseError& Error) {
        Err << "qmbatch: " << Error.what() << " (qmbatch --help shows the usage)" << std::endl;
        return 2;
    }
    if (Version) {
        Out << qm_program_version << std::endl;
        return 0;
    }
    if (Options.Paths.empty()) {
        Err << "qmbatch: no model file or folder given (qmbatch --help shows the usage)"
            << std::endl;
        return 2;
    }
    return -1;
}
