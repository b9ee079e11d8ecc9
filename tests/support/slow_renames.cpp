// Loaded into glyfrax-export with LD_PRELOAD by the kill test: every rename takes a while, so that
// kills land between the renames of a set as often as anywhere else.

#include <dlfcn.h>
#include <stdio.h>
#include <unistd.h>

extern "C" int renameat(int fromFolder, const char* from, int toFolder, const char* to)
{
    using Rename = int (*)(int, const char*, int, const char*);
    static const auto real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "renameat"));
    usleep(2000);
    return real(fromFolder, from, toFolder, to);
}
