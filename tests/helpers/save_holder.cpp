// save_holder TARGET TEXT [PID]: a save held open in a process of its own. It opens TARGET for
// writing through the backend's file primitives, writes the line TEXT, prints "ready" and keeps
// the save open until the end or a line other than "shot" arrives on standard input; then it
// closes the save. Each line "shot" takes a screenshot to TARGET meanwhile and prints "shot".
// With PID it first makes sure it runs as that process number, which it can choose when it is
// the first process of a fresh pid namespace (as root there: it writes ns_last_pid and forks).
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Vorn_glfw3.h"

namespace {

constexpr int ExitUsage = 64;
constexpr int ExitNoPid = 65;
constexpr int ExitNoSave = 66;
constexpr const char* LastPidFile = "/proc/sys/kernel/ns_last_pid";

// Returns in a process numbered pid: this one, or a child forked to get that number, whose
// exit this process then waits for and passes on.
void BecomePid(pid_t pid) {
    if (getpid() == pid) return;
    std::FILE* last = std::fopen(LastPidFile, "w");
    if (!last || std::fprintf(last, "%d", static_cast<int>(pid - 1)) < 0 || std::fclose(last) != 0) {
        std::perror(LastPidFile);
        std::exit(ExitNoPid);
    }
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) std::exit(ExitNoPid);
    if (child == 0) {
        if (getpid() == pid) return;
        std::fprintf(stderr, "save_holder: got process %d, not %d\n", static_cast<int>(getpid()), static_cast<int>(pid));
        _exit(ExitNoPid);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : ExitNoPid);
}

// A screenshot of a small window to target, written while the save stays open. Its log lines
// go to standard error, so that standard output says only what the holder does.
void Shoot(const char* target) {
    constexpr int ShotSide = 4;
    ASys.CanvasWidth = ASys.CanvasHeight = ShotSide;
    std::snprintf(ASys.ScreenshotName, sizeof ASys.ScreenshotName, "%s", target);
    std::fflush(stdout);
    const int out = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    ASys.Screenshot();
    std::fflush(stdout);
    dup2(out, STDOUT_FILENO);
    close(out);
    std::puts("shot");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: save_holder TARGET TEXT [PID]\n");
        return ExitUsage;
    }
    if (argc == 4) BecomePid(static_cast<pid_t>(std::atoi(argv[3])));
    if (ASys.WriteFile_Sys(argv[1]) != 1) return ExitNoSave;
    ASys.WriteString_Sys(argv[2]);
    std::puts("ready");
    std::fflush(stdout);
    std::string line;
    for (char byte = 0; read(STDIN_FILENO, &byte, 1) == 1;) {
        if (byte != '\n') {
            line += byte;
            continue;
        }
        if (line != "shot") break;
        Shoot(argv[1]);
        line.clear();
    }
    ASys.CloseFile_Sys();
    return 0;
}
