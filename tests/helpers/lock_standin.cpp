// lock_standin: file locks as file systems that lock otherwise give them, for a program started
// with LD_PRELOAD naming this library. BRINDLEWICK_LOCKS says what every lock request gets:
//   cannot, ENOLCK, EOPNOTSUPP, EINVAL   the file system cannot lock: the call fails with that
//                                        errno (cannot is ENOLCK)
//   refuses, EACCES, EAGAIN              every lock is refused as though held elsewhere (refuses
//                                        is EACCES); a lock test reports a write lock held
//   grants                               every lock is granted and none excludes another; a lock
//                                        test finds the file free
//   refuses-first                        the process's first request to take a lock is refused
//                                        (EACCES) as though held elsewhere; every later request,
//                                        and every lock test, gets the real calls
// Unset or any other value: the real calls. It covers fcntl and fcntl64 (F_GETLK, F_SETLK,
// F_SETLKW and their open-file-description forms), flock, lockf and lockf64; every other
// fcntl command goes to the real fcntl with its argument as given.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

enum class Mode { Real, Fail, Refuse, Grant, RefuseFirst };
struct Behaviour {
    Mode mode;
    int error;   // what a failed or refused request sets errno to
};

Behaviour Configured() {
    struct Named {
        const char* name;
        Behaviour behaviour;
    };
    static const Named table[] = {
        {"cannot", {Mode::Fail, ENOLCK}},      {"ENOLCK", {Mode::Fail, ENOLCK}},
        {"EOPNOTSUPP", {Mode::Fail, EOPNOTSUPP}}, {"EINVAL", {Mode::Fail, EINVAL}},
        {"refuses", {Mode::Refuse, EACCES}},   {"EACCES", {Mode::Refuse, EACCES}},
        {"EAGAIN", {Mode::Refuse, EAGAIN}},    {"grants", {Mode::Grant, 0}},
        {"refuses-first", {Mode::RefuseFirst, EACCES}},
    };
    const char* chosen = std::getenv("BRINDLEWICK_LOCKS");
    if (chosen)
        for (const Named& entry : table)
            if (std::strcmp(chosen, entry.name) == 0) return entry.behaviour;
    return {Mode::Real, 0};
}

// Under refuses-first: what a request to take a lock gets. Only the process's first such
// request is refused; the real calls take the rest (Real).
Behaviour Taking(const Behaviour& b) {
    if (b.mode != Mode::RefuseFirst) return b;
    static std::atomic<bool> refused{false};
    return refused.exchange(true) ? Behaviour{Mode::Real, 0} : Behaviour{Mode::Refuse, b.error};
}

bool IsLockCommand(int cmd, bool& test, bool& ofd) {
    const int tests[] = {F_GETLK, F_OFD_GETLK,
#ifdef F_GETLK64
                         F_GETLK64,
#endif
    };
    const int sets[] = {F_SETLK, F_SETLKW, F_OFD_SETLK, F_OFD_SETLKW,
#ifdef F_SETLK64
                        F_SETLK64, F_SETLKW64,
#endif
    };
    ofd = cmd == F_OFD_GETLK || cmd == F_OFD_SETLK || cmd == F_OFD_SETLKW;
    for (int c : tests)
        if (c == cmd) return test = true;
    test = false;
    for (int c : sets)
        if (c == cmd) return true;
    return false;
}

int Failed(int error) {
    errno = error;
    return -1;
}

// A lock request of fcntl under the configured behaviour. lock is the caller's struct flock
// (the same layout as flock64 where files have 64-bit offsets).
int FakeLock(const Behaviour& b, bool test, bool ofd, struct flock* lock) {
    if (!lock) return Failed(EFAULT);
    if (b.mode == Mode::Fail) return Failed(b.error);
    if (test) {
        if (b.mode == Mode::Grant) {
            lock->l_type = F_UNLCK;
            return 0;
        }
        lock->l_type = F_WRLCK;   // the whole file, held by someone this process cannot name
        lock->l_whence = SEEK_SET;
        lock->l_start = 0;
        lock->l_len = 0;
        lock->l_pid = ofd ? -1 : 0;
        return 0;
    }
    if (b.mode == Mode::Refuse && lock->l_type != F_UNLCK) return Failed(b.error);
    return 0;
}

using FcntlFn = int (*)(int, int, ...);

// The C library's fcntl (fcntl64 where it has one: the same call with 64-bit offsets).
int Forward(int fd, int cmd, void* arg) {
    static const FcntlFn real = [] {
        void* f = dlsym(RTLD_NEXT, "fcntl64");
        if (!f) f = dlsym(RTLD_NEXT, "fcntl");
        return reinterpret_cast<FcntlFn>(f);
    }();
    if (!real) return Failed(ENOSYS);
    return real(fd, cmd, arg);
}

int Fcntl(int fd, int cmd, void* arg) {
    bool test = false, ofd = false;
    if (!IsLockCommand(cmd, test, ofd)) return Forward(fd, cmd, arg);
    Behaviour b = Configured();
    if (b.mode == Mode::RefuseFirst) {
        const auto* lock = static_cast<const struct flock*>(arg);
        b = test || !lock || lock->l_type == F_UNLCK ? Behaviour{Mode::Real, 0} : Taking(b);
    }
    if (b.mode == Mode::Real) return Forward(fd, cmd, arg);
    return FakeLock(b, test, ofd, static_cast<struct flock*>(arg));
}

// lockf's commands under the configured behaviour; realName names the C library's own.
int Lockf(int fd, int cmd, off64_t len, const char* realName) {
    Behaviour b = Configured();
    if (b.mode == Mode::RefuseFirst) b = cmd == F_LOCK || cmd == F_TLOCK ? Taking(b) : Behaviour{Mode::Real, 0};
    if (b.mode == Mode::Real) {
        using LockfFn = int (*)(int, int, off64_t);
        const auto real = reinterpret_cast<LockfFn>(dlsym(RTLD_NEXT, realName));
        return real ? real(fd, cmd, len) : Failed(ENOSYS);
    }
    if (b.mode == Mode::Fail) return Failed(b.error);
    if (b.mode == Mode::Refuse && cmd != F_ULOCK) return Failed(b.error);
    return 0;
}

}  // namespace

extern "C" {

// fcntl's third argument is an int or a pointer by command; it is taken as a pointer, as the
// C library itself takes it, and passed on unchanged.
int fcntl(int fd, int cmd, ...) {
    va_list args;
    va_start(args, cmd);
    void* arg = va_arg(args, void*);
    va_end(args);
    return Fcntl(fd, cmd, arg);
}

// The same call with 64-bit offsets, as the C library has it under this name too.
int fcntl64(int fd, int cmd, ...) __attribute__((alias("fcntl")));

int flock(int fd, int operation) noexcept {
    Behaviour b = Configured();
    if (b.mode == Mode::RefuseFirst) b = operation & LOCK_UN ? Behaviour{Mode::Real, 0} : Taking(b);
    if (b.mode == Mode::Real) {
        using FlockFn = int (*)(int, int);
        const auto real = reinterpret_cast<FlockFn>(dlsym(RTLD_NEXT, "flock"));
        return real ? real(fd, operation) : Failed(ENOSYS);
    }
    if (b.mode == Mode::Fail) return Failed(b.error);
    if (b.mode == Mode::Refuse && !(operation & LOCK_UN)) return Failed(EWOULDBLOCK);
    return 0;
}

int lockf(int fd, int cmd, off_t len) { return Lockf(fd, cmd, len, "lockf"); }
int lockf64(int fd, int cmd, off64_t len) { return Lockf(fd, cmd, len, "lockf64"); }

}  // extern "C"
