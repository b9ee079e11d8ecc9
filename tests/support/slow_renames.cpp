// Loaded into glyfrax-export with LD_PRELOAD by the kill test: every rename takes a while, so that
// kills land between the renames of a set as often as anywhere else. With GLYFRAX_FAILING_RENAME=N
// the N-th rename of the process fails as one refused by the file system would (EPERM), for the
// tests of a replacement that stops halfway.

#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

extern "C" int renameat(int fromFolder, const char* from, int toFolder, const char* to)
{
    using Rename = int (*)(int, const char*, int, const char*);
    static const auto real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "renameat"));
    static const char* failing = getenv("GLYFRAX_FAILING_RENAME");
    static int count = 0;
    usleep(2000);
    if (failing && ++count == atoi(failing)) {
        errno = EPERM;
        return -1;
    }
    return real(fromFolder, from, toFolder, to);
}
