// The extraction run (placeholder until the writers land).
#include "app/Run.h"

int RunExtraction(std::istream&, std::ostream&) { return 0; }
