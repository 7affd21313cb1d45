// Entry point: one start is one extraction run on the console.
#include <iostream>

#include "app/Run.h"

int main() { return RunExtraction(std::cin, std::cout); }
