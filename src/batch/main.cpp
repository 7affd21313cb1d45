// Entry point of the batch converter: qmbatch [options] PATH...
#include <atomic>
#include <iostream>
#include <string>

#include "app/Interrupts.h"
#include "app/Platform.h"
#include "batch/Batch.h"

int main(int argc, char** argv) {
    static std::atomic<bool> Stop{false};
    static TempSlot Slots[MaxJobs];
    HandleInterrupts(Slots, MaxJobs, &Stop);
    std::vector<std::string> Arguments = CommandLineArguments(argc, argv);
    // Started from Explorer (a double-click, or files dropped on the icon), the
    // console window closes with the program: it waits so the result can be read.
    const bool OwnWindow = OwnsConsoleWindow();
    std::ostream& Out = ConsoleOutput();
    int Status = 2;
    if (OwnWindow && Arguments.empty()) {
        Out << "qmbatch converts Quennmire model files to OBJ and BMP files beside them."
            << std::endl
            << "Drop model files or folders onto qmbatch.exe, or run qmbatch --help in a console."
            << std::endl;
    } else {
        Status = RunBatch(Arguments, Out, ConsoleError(),
                          {&Stop, Slots, StandardErrorIsTerminal(), EndIfSignalled});
    }
    if (OwnWindow) {
        Out << std::endl << "Press Enter to exit" << std::endl;
        std::string Line;
        std::getline(ConsoleInput(), Line);
    }
    return Status;
}
