// open_swap: a file swapped under a program between its look at a name and its opening of it,
// for a program started with LD_PRELOAD naming this library. BRINDLEWICK_SWAP_NAME names a
// file (the last part of its path) and BRINDLEWICK_SWAP_FROM the path of another: the
// program's first open of a file of that name first moves the other file there, then opens it.
// BRINDLEWICK_NO_UNNAMED=1 makes every open of a file without a name (O_TMPFILE) fail with
// EOPNOTSUPP, as on file systems that make no such files.
#include <dlfcn.h>
#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Moves the other file to path (relative to folder) when this is the first open of that name.
void SwapBefore(int folder, const char* path) {
    static std::atomic<bool> swapped{false};
    const char* name = std::getenv("BRINDLEWICK_SWAP_NAME");
    const char* from = std::getenv("BRINDLEWICK_SWAP_FROM");
    if (!name || !from || !path) return;
    const char* slash = std::strrchr(path, '/');
    if (std::strcmp(slash ? slash + 1 : path, name) != 0 || swapped.exchange(true)) return;
    const int saved = errno;
    if (renameat(AT_FDCWD, from, folder, path) != 0) std::perror("open_swap: rename");
    errno = saved;
}

// The mode among the arguments, read only where the flags say that there is one, as the C
// library reads it.
mode_t ModeArgument(int flags, va_list args) {
    const bool given = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    return given ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

using OpenatFn = int (*)(int, const char*, int, ...);

int Openat(int folder, const char* path, int flags, mode_t mode) {
    const char* noUnnamed = std::getenv("BRINDLEWICK_NO_UNNAMED");
    if ((flags & O_TMPFILE) == O_TMPFILE && noUnnamed && std::strcmp(noUnnamed, "1") == 0) {
        errno = EOPNOTSUPP;
        return -1;
    }
    SwapBefore(folder, path);
    static const auto real = reinterpret_cast<OpenatFn>(dlsym(RTLD_NEXT, "openat"));
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(folder, path, flags, mode);
}

}  // namespace

extern "C" {

int openat(int folder, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return Openat(folder, path, flags, mode);
}

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return Openat(AT_FDCWD, path, flags, mode);
}

// The same calls with 64-bit offsets, as the C library has them under these names too.
int openat64(int folder, const char* path, int flags, ...) __attribute__((alias("openat")));
int open64(const char* path, int flags, ...) __attribute__((alias("open")));

}  // extern "C"
