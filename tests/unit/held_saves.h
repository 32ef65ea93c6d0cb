// Saves held open in processes of their own (the save_holder program), with the file locks of
// other file systems put before the C library of such a process (the lock stand-in), for the
// tests of saves and screenshots beside saves of other processes.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

constexpr int HolderWaitMs = 30000;   // a held save says "ready" within this, however busy the machine

// In a child: starts command, found through PATH, in its place; ends the child with 127 when it
// cannot.
[[noreturn]] inline void Exec(const std::vector<std::string>& command) {
    std::vector<char*> args;
    for (const std::string& arg : command) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::perror(args[0]);
    _exit(127);
}

// A save_holder process, started by a command line that may put a wrapper such as unshare before
// it; inChild, when given, runs in the new process just before the command starts (to plant
// files with its process number or to set its environment). Its standard input is a pipe whose
// end (or a line) makes it close its save; its output, a pipe read here. What it prints on
// standard error goes to the test's log.
class Holder {
public:
    explicit Holder(const std::vector<std::string>& command, const std::function<void()>& inChild = {}) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        std::fflush(stdout);
        pid = fork();
        if (pid < 0) {
            for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
            return;
        }
        if (pid == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            if (inChild) inChild();
            Exec(command);
        }
        close(in[0]);
        close(out[1]);
        input = in[1];
        output = out[0];
    }
    ~Holder() { Finish(); }

    pid_t Pid() const { return pid; }
    // Waits until it says it holds its save; false when it ends or stays silent instead.
    bool Ready() { return Answered(); }
    // Sends it line (such as "shot") and waits for its answer; true when that is reply.
    bool Ask(const std::string& line, const std::string& reply) {
        expected += reply + "\n";
        const std::string sent = line + "\n";
        return pid > 0 && write(input, sent.data(), sent.size()) == static_cast<ssize_t>(sent.size()) && Answered();
    }
    // Makes it close its save and waits for its end. True when it exited with status 0 and
    // printed nothing but "ready" and its answers (a failed close prints "Error Writing File").
    bool Finish() {
        if (pid <= 0) return false;
        close(input);
        while (ReadSome()) {
        }
        close(output);
        int status = 0;
        const bool ended = waitpid(pid, &status, 0) == pid;
        pid = -1;
        EXPECT_EQ(printed, expected);
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0 && printed == expected;
    }

private:
    // Waits for as many lines as it should have printed by now; true when they are those.
    bool Answered() {
        if (pid <= 0) return false;
        const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
        while (lines(printed) < lines(expected))
            if (!ReadSome()) return false;
        return printed == expected;
    }
    bool ReadSome() {
        pollfd waiting{output, POLLIN, 0};
        if (poll(&waiting, 1, HolderWaitMs) <= 0) return false;
        char chunk[256];
        const ssize_t n = read(output, chunk, sizeof chunk);
        if (n <= 0) return false;
        printed.append(chunk, static_cast<size_t>(n));
        return true;
    }

    pid_t pid = -1;
    int input = -1, output = -1;
    std::string printed;
    std::string expected = "ready\n";
};

// How the file system locks, for the processes of a test: its real locks, or the stand-in
// library before the C library, with what it makes every lock request get.
struct Locks {
    const char* name;
    const char* standin;   // BRINDLEWICK_LOCKS for the stand-in; null for the real locks
    bool excludes;         // whether a lock held tells that a save holds the file
};

constexpr Locks RealLocks{"real locks", nullptr, true};
constexpr Locks CannotLock{"cannot lock (ENOLCK)", "ENOLCK", false};
constexpr Locks GrantsAll{"grants every lock, excluding none", "grants", false};
constexpr Locks RefusesFirst{"refuses the first lock only", "refuses-first", true};

// In a child about to start a program: puts library before the C library of that program.
inline void Preload(const std::string& library) {
    const char* before = std::getenv("LD_PRELOAD");
    setenv("LD_PRELOAD", (before && *before ? std::string(before) + ":" : std::string()).append(library).c_str(), 1);
    // A sanitized build's runtime wants to be loaded first; the library comes before it.
    const char* asan = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
}

// In a child about to start a program: gives it the locks of locks.
inline void UseLocks(const Locks& locks) {
    if (!locks.standin) return;
    Preload(BRINDLEWICK_LOCK_STANDIN);
    setenv("BRINDLEWICK_LOCKS", locks.standin, 1);
}
