// The backend's file primitives: one data file open at a time, 4-byte little-endian integers,
// single bytes and text lines. A file opened for writing is written to a temporary file beside
// it and moved over the target only once it is complete, so a crash mid-save keeps the old file;
// the next save of a target clears what killed saves of it left behind. Screenshots are written
// the same way.
#include "Vorn_glfw3.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* MyOpenFile = nullptr;
int FileOpen = 0;

namespace {

constexpr int IntBytes = 4;
constexpr int TempNameTries = 100;      // attempts at a free temporary name
constexpr mode_t NewFileMode = 0666;    // as fopen creates files, less the umask
constexpr mode_t ModeBits = 07777;
constexpr const char* TempMark = ".tmp-";   // temporary names: <target>.tmp-<pid>-<n>
constexpr std::size_t MaxNumberDigits = 10;   // no pid_t or name counter has more

// The file being written: where it goes once closed, and where it is meanwhile.
std::string WriteTarget;
std::string WriteTemp;
bool ExitCommitRegistered = false;

void PrintLine(const char* text) {
    std::puts(text);
    std::fflush(stdout);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Makes the rename that just happened in the folder durable.
void SyncFolder(const std::string& path) {
    const int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// The value of text when it is a number as std::to_string writes it: digits only, no leading
// zero, no sign.
bool PlainNumber(const std::string& text, long long& value) {
    if (text.empty() || text.size() > MaxNumberDigits || (text[0] == '0' && text.size() > 1)) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// The process that made name, when name is one of the temporary names CreateTempBeside gives
// a target called base: exactly "<base>.tmp-<pid>-<n>". 0 for every other name.
pid_t TempNameOwner(const std::string& name, const std::string& base) {
    const std::string prefix = base + TempMark;
    if (name.compare(0, prefix.size(), prefix) != 0) return 0;
    const std::size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos) return 0;
    long long pid = 0, counter = 0;
    if (!PlainNumber(name.substr(prefix.size(), dash - prefix.size()), pid) ||
        !PlainNumber(name.substr(dash + 1), counter) || pid < 1 || pid > INT_MAX)
        return 0;
    return static_cast<pid_t>(pid);
}

// Removes the temporary files that saves of target by processes no longer running left in its
// folder (each save killed before its close leaves one). A process that still runs may be
// writing its file, so its files stay: only kill(pid, 0) failing with ESRCH marks a process as
// gone (EPERM means it runs under another user). Nothing is said either way.
void RemoveLeftovers(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty()) return;
    DIR* folder = opendir(FolderOf(target).c_str());
    if (!folder) return;
    const pid_t self = getpid();
    std::vector<std::string> gone;
    while (const dirent* entry = readdir(folder)) {
        const pid_t owner = TempNameOwner(entry->d_name, base);
        if (owner == 0 || owner == self) continue;
        struct stat info;
        if (fstatat(dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (kill(owner, 0) != 0 && errno == ESRCH) gone.push_back(entry->d_name);
    }
    for (const std::string& name : gone) unlinkat(dirfd(folder), name.c_str(), 0);
    closedir(folder);
}

// Creates a new, empty file next to target, with the target's permissions when it exists.
// Returns the open descriptor and its name, or -1.
int CreateTempBeside(const std::string& target, std::string& name) {
    struct stat existing;
    const bool exists = stat(target.c_str(), &existing) == 0;
    // What "wb" on the target itself would refuse is refused here too.
    if (exists && (S_ISDIR(existing.st_mode) || access(target.c_str(), W_OK) != 0)) return -1;
    RemoveLeftovers(target);
    for (int attempt = 0; attempt < TempNameTries; ++attempt) {
        name = target + TempMark + std::to_string(getpid()) + "-" + std::to_string(attempt);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode);
        if (fd >= 0) {
            if (exists) fchmod(fd, existing.st_mode & ModeBits);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

// Opens a new temporary file beside target for writing; null when that cannot be done.
std::FILE* OpenReplacement(const std::string& target, std::string& temp) {
    const int fd = CreateTempBeside(target, temp);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(temp.c_str());
    }
    return file;
}

// Closes the temporary file and moves it over target, but only when every byte written to it
// reached the disk (and written says the caller's writes were whole); otherwise removes it.
// True when target now holds the new content.
bool CommitReplacement(std::FILE* file, const std::string& temp, const std::string& target, bool written) {
    written = written && std::fflush(file) == 0 && !std::ferror(file);
    written = written && fsync(fileno(file)) == 0;
    written = (std::fclose(file) == 0) && written;
    written = written && std::rename(temp.c_str(), target.c_str()) == 0;
    if (written)
        SyncFolder(target);
    else
        unlink(temp.c_str());
    return written;
}

// A file still open for writing when the program ends normally is completed, as the C
// runtime's flush at exit would have done with the file written in place.
void CommitAtExit() { ASys.CloseFile_Sys(); }

}  // namespace

bool ReplaceFileWith(const char* path, const std::vector<unsigned char>& bytes) {
    if (!path) return false;
    std::string temp;
    std::FILE* file = OpenReplacement(path, temp);
    if (!file) return false;
    const bool whole = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return CommitReplacement(file, temp, path, whole);
}

int VornSys::WriteFile_Sys(const char* path) {
    if (FileOpen == 1) CloseFile_Sys();
    std::string temp;
    MyOpenFile = path ? OpenReplacement(path, temp) : nullptr;
    if (!MyOpenFile) {
        PrintLine("Error Writing File");
        return 0;
    }
    WriteTarget = path;
    WriteTemp = temp;
    if (!ExitCommitRegistered) ExitCommitRegistered = std::atexit(CommitAtExit) == 0;
    FileOpen = 1;
    return 1;
}

int VornSys::ReadFile_Sys(const char* path) {
    if (FileOpen == 1) CloseFile_Sys();
    MyOpenFile = path ? std::fopen(path, "rbe") : nullptr;
    // A folder opens for reading here but has no bytes to read: it is no file.
    struct stat opened;
    if (MyOpenFile && (fstat(fileno(MyOpenFile), &opened) != 0 || S_ISDIR(opened.st_mode))) {
        std::fclose(MyOpenFile);
        MyOpenFile = nullptr;
    }
    if (!MyOpenFile) {
        PrintLine("Error Reading File");
        return 0;
    }
    FileOpen = 1;
    return 1;
}

void VornSys::WriteInt_Sys(int value) {
    if (FileOpen != 1) return;
    const unsigned bits = static_cast<unsigned>(value);
    for (int shift = 0; shift < IntBytes * 8; shift += 8) std::fputc((bits >> shift) & 0xFF, MyOpenFile);
}

void VornSys::WriteByte_Sys(char value) {
    if (FileOpen != 1) return;
    std::fputc(static_cast<unsigned char>(value), MyOpenFile);
}

void VornSys::WriteString_Sys(const char* text) {
    if (FileOpen != 1) return;
    // Through the shared buffer: text longer than sizeof TempstrSys - 2 is the caller's limit.
    const char* line = fstrSys("%s\n", text ? text : "");
    std::fwrite(line, 1, std::strlen(line), MyOpenFile);
}

int VornSys::ReadInt_Sys() {
    if (FileOpen != 1) return 0;
    unsigned char b[IntBytes];
    if (std::fread(b, 1, IntBytes, MyOpenFile) != IntBytes) return MissingNumber;
    return static_cast<int>(static_cast<unsigned>(b[0]) | static_cast<unsigned>(b[1]) << 8 |
                            static_cast<unsigned>(b[2]) << 16 | static_cast<unsigned>(b[3]) << 24);
}

int VornSys::ReadIntb_Sys() { return ReadInt_Sys(); }

int VornSys::ReadByte_Sys() {
    if (FileOpen != 1) return 0;
    return std::fgetc(MyOpenFile);   // EOF is -1
}

char* VornSys::ReadString_Sys() {
    if (FileOpen != 1) return nullptr;
    if (!std::fgets(TempstrSys, sizeof TempstrSys, MyOpenFile)) {
        TempstrSys[0] = '\0';
        return TempstrSys;
    }
    // The last character read is dropped: the line feed of a whole line.
    const std::size_t length = std::strlen(TempstrSys);
    if (length > 0) TempstrSys[length - 1] = '\0';
    return TempstrSys;
}

long VornSys::FilePos_Sys() {
    if (FileOpen != 1) return -1;
    return std::ftell(MyOpenFile);
}

void VornSys::FileSeek_Sys(int offset) {
    if (FileOpen != 1) return;
    std::fseek(MyOpenFile, offset, SEEK_SET);
}

void VornSys::CloseFile_Sys() {
    if (FileOpen != 1) return;
    std::FILE* file = MyOpenFile;
    MyOpenFile = nullptr;
    FileOpen = 0;
    if (WriteTemp.empty()) {
        std::fclose(file);
        return;
    }
    if (!CommitReplacement(file, WriteTemp, WriteTarget, true)) PrintLine("Error Writing File");
    WriteTemp.clear();
    WriteTarget.clear();
}
