// Entry point: one start is one extraction run on the console.
#include "app/Console.h"
#include "app/Run.h"
#include "qm_version.h"

QM_PROGRAM("qmextract");

int main() { return RunExtraction(ConsoleInput(), ConsoleOutput()); }
