// Scratch folders for tests that work on real files (each test a fresh folder of its own, so
// tests can run in parallel), the count of the process's open file descriptors, and a child
// process that writes where the disk is full or the folder read-only.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

// A fresh, empty folder below the tests' scratch folder.
inline std::string ScratchDir(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(BRINDLEWICK_TEST_TMP) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

// A fresh folder named after the running test.
inline std::string ScratchDirForTest() {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    return ScratchDir(std::string(test->test_suite_name()) + "_" + test->name());
}

// Dates the file at path an hour back, as though it had not been written to since: saves
// sweep the temporary files that killed saves left only once they are a minute old. Plain
// calls only, so that a child process may use it too.
inline void MakeHourOld(const std::string& path) {
    constexpr time_t HourSeconds = 3600;
    const timespec then{std::time(nullptr) - HourSeconds, 0};
    const timespec times[2] = {then, then};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// The process's open file descriptors, each number below the descriptor limit asked for its
// flags: unlike a listing of /proc/self/fd this counts where /proc is not mounted (a chroot).
inline int OpenDescriptors() {
    constexpr rlim_t MaxProbedDescriptors = 1 << 20;
    rlimit limit{};
    rlim_t probed = MaxProbedDescriptors;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < probed)
        probed = limit.rlim_cur;
    int n = 0;
    for (int fd = 0; fd < static_cast<int>(probed); ++fd)
        if (fcntl(fd, F_GETFD) != -1) ++n;
    return n;
}

// Everything that arrives on fd until its end; closes fd.
inline std::string ReadToEnd(int fd) {
    std::string got;
    char chunk[4096];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) != 0;)
        if (n > 0) got.append(chunk, static_cast<size_t>(n));
        else if (errno != EINTR) break;
    close(fd);
    return got;
}

// How a child process finds the disk. FileSizeLimit stands for a full disk with no privileges:
// no file may grow past a few bytes, and a write past them fails with EFBIG (SIGXFSZ, which
// would kill the child, is ignored). ReadOnlyFolders makes the permission bits of folders bind
// even for root, by giving up the capabilities that override them; the test makes the folder
// read-only itself.
enum class DiskLimit { FileSizeLimit, ReadOnlyFolders };
constexpr rlim_t LimitedFileBytes = 64;

inline void ApplyInChild(DiskLimit limit) {
    if (limit == DiskLimit::FileSizeLimit) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{LimitedFileBytes, LimitedFileBytes};
        if (setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(3);
        return;
    }
    __user_cap_header_struct head{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &head, caps) != 0) _exit(3);
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        const unsigned bit = 1u << (cap % 32);
        caps[cap / 32].effective &= ~bit;
        caps[cap / 32].permitted &= ~bit;
        caps[cap / 32].inheritable &= ~bit;
    }
    if (syscall(SYS_capset, &head, caps) != 0) _exit(3);
}

// What keeps a child process here from setting up the limit (a container whose seccomp
// filter refuses capset, say); empty when nothing does. A test whose case needs the limit
// skips it, naming this.
inline std::string DiskLimitMissing(DiskLimit limit) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) return "no fork";
    if (child == 0) {
        ApplyInChild(limit);
        _exit(0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    return limit == DiskLimit::FileSizeLimit
               ? "setrlimit(RLIMIT_FSIZE) is refused here, so no full disk can be made"
               : "capget/capset is refused here, so CAP_DAC_OVERRIDE cannot be given up and a read-only folder "
                 "cannot be made";
}

// Runs work in a child process under the limit and returns what it printed on standard
// output. The child's exit is checked: a child that could not set up its limit fails the test.
inline std::string PrintedUnder(DiskLimit limit, const std::function<void()>& work) {
    int out[2];
    if (pipe(out) != 0) {
        ADD_FAILURE() << "no pipe";
        return "";
    }
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) {
        ADD_FAILURE() << "no fork";
        close(out[0]);
        close(out[1]);
        return "";
    }
    if (child == 0) {
        close(out[0]);
        dup2(out[1], STDOUT_FILENO);
        ApplyInChild(limit);
        work();
        std::fflush(stdout);
        _exit(0);
    }
    close(out[1]);
    const std::string printed = ReadToEnd(out[0]);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    return printed;
}
