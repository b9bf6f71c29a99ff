// A second host process for the concurrent-save test: saves its memories into the folder's
// memory.ini the given number of times, as a host closing its dialog does; the first failure
// is reported with its reason.
// Usage: qorva_wine_memory_writer FOLDER WRITER COUNT; exits 0 when every save succeeded.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "persistence/memory_location.h"
#include "windows/memory_writer.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FOLDER WRITER COUNT\n", argv[0]);
        return 2;
    }
    qorva::IniStore store = host::writerMemories(std::atoi(argv[2]));
    const qorva::MemoryFileLocation location =
        qorva::memoryFileLocation(qorva::FixedMemoryFolders(argv[1], std::string()));
    store.SetPath(location.hostPath);
    int failures = 0;
    for (int k = std::atoi(argv[3]); k > 0; --k) {
        std::string reason;
        if (store.Save(reason)) continue;
        if (failures++ == 0) std::fprintf(stderr, "writer %s: %s\n", argv[2], reason.c_str());
    }
    return failures == 0 ? 0 : 1;
}
