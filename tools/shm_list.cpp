// shm_list: play the program that hands a medication list over in shared
// memory.
//
//   shm_list NAME FILE [--length N]
//
// Makes the block NAME holding the bytes of FILE behind a 32-bit
// little-endian length: the file's own length, or N with --length (a false
// length, to see how the reader copes).  Prints "ready NAME" and waits until
// its standard input ends (Ctrl+D, or the end of a pipe), then removes the
// block.
//
// Exit code: 0 done, 1 the file cannot be read or the block cannot be made,
// 2 wrong arguments.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fs.h"
#include "platform/shared_memory.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: shm_list NAME FILE [--length N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 5)
        return Usage();
    const std::string name = argv[1];
    const std::string file = argv[2];
    bool falseLength = false;
    unsigned long length = 0;
    if (argc == 5) {
        if (std::string(argv[3]) != "--length")
            return Usage();
        char* end = nullptr;
        length = std::strtoul(argv[4], &end, 10);
        if (end == argv[4] || *end != '\0' || length > 0xFFFFFFFFul)
            return Usage();
        falseLength = true;
    }
    std::string content;
    if (const int r = ReadWholeFile(file, content); r != 0) {
        std::fprintf(stderr, "shm_list: cannot read %s (I/O result %d)\n", file.c_str(), r);
        return 1;
    }
    const int r = falseLength ? CreateSharedBlock(name, content, static_cast<uint32_t>(length))
                              : CreateSharedBlock(name, content);
    if (r != 0) {
        std::fprintf(stderr, "shm_list: cannot make the block %s (I/O result %d)\n", name.c_str(), r);
        return 1;
    }
    std::printf("ready %s\n", name.c_str());
    std::fflush(stdout);
    char buf[256];
    while (std::fread(buf, 1, sizeof buf, stdin) > 0) {
    }
    RemoveSharedBlock(name);
    return 0;
}
