// Writes the big benchmark model (see BigModel.h) to the path given as the only argument.
#include <cstdio>
#include <exception>

#include "BigModel.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_big_model <output path>\n");
        return 2;
    }
    try {
        WriteFileBytes(argv[1], BigModel().Build());
    } catch (const std::exception& E) {
        std::fprintf(stderr, "make_big_model: %s\n", E.what());
        return 1;
    }
    return 0;
}
