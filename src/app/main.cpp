// Entry point: one start is one extraction run on the console.
#include "app/Interrupts.h"
#include "app/Platform.h"
#include "app/Run.h"
#include "qm_version.h"

QM_PROGRAM("qmextract");

int main() {
    // The temporary file being written, which an interrupt removes.
    static TempSlot Pending;
    HandleInterrupts(&Pending, 1);
    return RunExtraction(ConsoleInput(), ConsoleOutput(), &Pending);
}
