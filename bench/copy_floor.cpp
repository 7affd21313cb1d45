// The whole run's floor: what cat does for the tool's files, in one process as the tool is one.
//
// usage: copy_floor <model> <folder> <file>...
// Reads the model, then copies each named file of the folder into the current folder under the
// same name, in 128 KiB pieces as cat does. Exits 1 when a read or write fails.
#include <cstdio>
#include <string>
#include <vector>

#include "CatCopy.h"

int main(int argc, char** argv) {
    std::vector<char> Buffer(128 * 1024);
    bool Ok = argc >= 3 && CatCopy(argv[1], nullptr, Buffer);
    for (int i = 3; Ok && i < argc; i++)
        Ok = CatCopy(std::string(argv[2]) + "/" + argv[i], argv[i], Buffer);
    return Ok ? 0 : 1;
}
