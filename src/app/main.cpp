// Entry point: one start is one extraction run on the console.
#include "app/Console.h"
#include "app/Run.h"

int main() { return RunExtraction(ConsoleInput(), ConsoleOutput()); }
