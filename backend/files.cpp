// The backend's file primitives: one data file open at a time, 4-byte little-endian integers,
// single bytes and text lines. A file opened for writing is written to a temporary file beside
// it and moved over the target only once it is complete, so a crash mid-save keeps the old file;
// the next save of a target clears what killed saves of it left behind, telling them from saves
// still under way by their age and by the lock each save holds on its file, or where the file
// system's locks tell nothing, by the processes that have it open. Screenshots are written the same way.
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
// Attempts at a free temporary name. Leftovers of killed saves of earlier runs that had this
// process's number hold the first names until a save a minute later sweeps them; where they
// hold them all, the save sweeps them before it tries the names again.
constexpr int TempNameTries = 1000;
constexpr mode_t NewFileMode = 0666;    // as fopen creates files, less the umask
constexpr mode_t ModeBits = 07777;
constexpr const char* TempMark = ".tmp-";   // temporary names: <target>.tmp-<pid>-<n>
constexpr std::size_t MaxNumberDigits = 10;   // no pid_t or name counter has more

// The file being written: where it goes once closed, where it is meanwhile, and the second
// descriptor that keeps its lock until the rename (-1 when there is none).
std::string WriteTarget;
std::string WriteTemp;
int WriteHold = -1;
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

// Each save holds a write lock on its temporary file from just after its creation until it is
// renamed or removed, where the file system can lock. The lock is an open-file-description
// lock: it belongs to the open file, not to the process, so it is seen from every process and
// pid namespace on the machine (and through the file server on shared folders), and closing
// another descriptor of the file does not drop it, as it would drop a classic record lock.
// 0 when taken, else the errno.
int LockWholeFile(int fd) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;   // from the start to the end, however long the file grows
    return fcntl(fd, F_OFD_SETLK, &whole) == 0 ? 0 : errno;
}

// The refusal of a lock that someone else holds; every other failure means the file system
// cannot lock at all.
bool HeldElsewhere(int error) { return error == EAGAIN || error == EACCES; }

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// True while fd is still the file at name.
bool StillNamed(int fd, const std::string& name) {
    struct stat opened, named;
    return fstat(fd, &opened) == 0 && lstat(name.c_str(), &named) == 0 && SameFile(opened, named);
}

// What the file system did with the lock of the save's own new file. Not every file system
// locks as a local disk does: some cannot lock at all (ENOLCK, EOPNOTSUPP, EINVAL), some refuse
// every lock as if it were held, and some grant every lock without excluding anyone (lock
// forwarding that turns every lock into one owner's, a share mounted without byte-range locks).
// Only where locks exclude does a lock tell whether a save holds the file.
enum class Locking { Excludes, DoesNotExclude, Refused, Unavailable };

// Refusals of the lock on two of its own new files in a row mean that the file system refuses
// every lock, and the save goes on unlocked: no sweep of this build locks a file this fresh,
// and one of an earlier build, which may, could take one such lock for a moment but hardly
// two in a row. A refused file is removed, so that nothing of the save stays behind.
constexpr int RefusalsMeaningNoLocks = 2;

constexpr int ReopenFlags = O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// A temporary file written to within this long may belong to a save under way, whatever its
// lock or its name says: it is never removed. Saves take milliseconds, so a killed one's file
// is removed by the first save a minute later. The age is measured against the file the save
// has just made, so both times come from the clock of the same file system (a file server's
// clock may differ from this machine's); a time ahead of that counts as fresh too.
constexpr long long FreshSeconds = 60;
constexpr long long NanosecondsPerSecond = 1000 * 1000 * 1000;

bool WrittenRecently(const struct stat& file, const struct stat& now) {
    if (file.st_mtim.tv_sec >= now.st_mtim.tv_sec) return true;   // the same second, or ahead
    // Any two times are apart by less than 2^64 seconds: the difference of unsigned values is
    // exact, where that of signed values may overflow (times centuries apart).
    const unsigned long long seconds =
        static_cast<unsigned long long>(now.st_mtim.tv_sec) - static_cast<unsigned long long>(file.st_mtim.tv_sec);
    if (seconds > static_cast<unsigned long long>(FreshSeconds)) return false;
    const long long age = static_cast<long long>(seconds) * NanosecondsPerSecond + (now.st_mtim.tv_nsec - file.st_mtim.tv_nsec);
    return age < FreshSeconds * NanosecondsPerSecond;
}

// Whether process pid, which runs, may have file open: true unless its open descriptors can be
// listed (as root, or as its user) in a /proc of this process's own pid namespace, and none is
// the file.
bool MayHaveOpen(pid_t pid, const struct stat& file) {
    char self[32] = {};
    if (readlink("/proc/self", self, sizeof self - 1) <= 0 || std::atoi(self) != getpid()) return true;
    DIR* fds = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!fds) return true;
    bool held = false;
    while (const dirent* entry = held ? nullptr : readdir(fds)) {
        struct stat target;
        held = entry->d_name[0] != '.' && fstatat(dirfd(fds), entry->d_name, &target, 0) == 0 && SameFile(target, file);
    }
    closedir(fds);
    return held;
}

// Whether no process can be writing file, a temporary file named after process owner, as far
// as this process can see: owner does not run (kill(pid, 0) failing with ESRCH; EPERM means
// it runs under another user), or runs without the file open, or is this process: the one
// save this process has under way is the file it has just made, so another file with its
// number is left from an earlier run that had the same number (a game that is pid 1 in its
// container has that number on every run). It cannot see processes in other pid namespaces;
// that is why it decides only where locks do not.
bool NoSaveHolds(pid_t owner, const struct stat& file) {
    if (owner == getpid()) return true;
    if (kill(owner, 0) != 0) return errno == ESRCH;
    return !MayHaveOpen(owner, file);
}

// A temporary file the sweep found in the folder, with what it was when it was judged.
struct Leftover {
    std::string name;
    struct stat listed;
};

// Removes an old temporary file of a save in folder when no save holds it. Where locks exclude,
// that is when its lock can be taken at once; the lock is kept until the file is gone, so a
// second sweep cannot act on it meanwhile. Elsewhere the caller has judged it by the processes
// it sees. Only while the file at that name is still the one judged (the same file as listed,
// opened and named just before the removal), and still old.
void RemoveLeftover(int folder, const Leftover& left, Locking locking, const struct stat& now) {
    const char* name = left.name.c_str();
    const int fd = openat(folder, name, ReopenFlags | O_NOFOLLOW);
    if (fd < 0) return;
    struct stat opened, named;
    if (fstat(fd, &opened) == 0 && SameFile(opened, left.listed) && !WrittenRecently(opened, now) && (locking != Locking::Excludes || LockWholeFile(fd) == 0) &&
        fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named))
        unlinkat(folder, name, 0);
    close(fd);
}

// Removes the temporary files that saves of target left in its folder when they were killed
// (each save killed before its close leaves one); own is the descriptor of the file this save
// has just made there, which the sweep passes over, and locking what its lock showed. A file
// written to within the last minute stays. An older one goes when no save holds its lock where
// locks exclude; where they do not, when no process here holds it open. Either way, whatever
// process number its name carries. Nothing is said either way.
void RemoveLeftovers(const std::string& target, int own, Locking locking) {
    const std::size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    struct stat now, pending;
    if (base.empty() || fstat(own, &now) != 0) return;
    // A save of this process still open as well (a screenshot taken while a save is open).
    const bool otherOpen = !WriteTemp.empty() && stat(WriteTemp.c_str(), &pending) == 0;
    DIR* folder = opendir(FolderOf(target).c_str());
    if (!folder) return;
    std::vector<Leftover> gone;
    while (const dirent* entry = readdir(folder)) {
        const pid_t owner = TempNameOwner(entry->d_name, base);
        if (owner == 0) continue;
        Leftover left{entry->d_name, {}};
        struct stat& info = left.listed;
        if (fstatat(dirfd(folder), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            SameFile(info, now) || (otherOpen && SameFile(info, pending)) || WrittenRecently(info, now))
            continue;
        if (locking == Locking::Excludes || NoSaveHolds(owner, info)) gone.push_back(left);
    }
    for (const Leftover& left : gone) RemoveLeftover(dirfd(folder), left, locking, now);
    closedir(folder);
}

// Temporary name n of target for this process: "<target>.tmp-<pid>-<n>".
std::string TempNameOf(const std::string& target, int n) {
    return target + TempMark + std::to_string(getpid()) + "-" + std::to_string(n);
}

// What the lock of a file just made showed of the file system's locks: locked is what the
// request for it gave, and path opens the file a second time (with flags); where locks
// exclude, that second open must be refused the lock.
Locking LockingAfter(int locked, const std::string& path, int flags) {
    if (locked != 0) return HeldElsewhere(locked) ? Locking::Refused : Locking::Unavailable;
    const int other = open(path.c_str(), flags);
    if (other < 0) return Locking::DoesNotExclude;   // unproven: judged as though it did not
    const bool excluded = HeldElsewhere(LockWholeFile(other));
    close(other);
    return excluded ? Locking::Excludes : Locking::DoesNotExclude;
}

// Creates a new, empty file under the first free one of tries temporary names of target from
// number first on, and locks it where the file system can. Returns the open descriptor and its
// name, with what its lock showed; or -1, with namesTaken set when no name was free.
int CreateTempNamed(const std::string& target, int first, int tries, std::string& name, Locking& locking,
                    bool& namesTaken) {
    namesTaken = false;
    int refusals = 0;
    for (int attempt = first; attempt < first + tries; ++attempt) {
        name = TempNameOf(target, attempt);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode);
        if (fd < 0) {
            if (errno != EEXIST) return -1;
            continue;
        }
        const int locked = LockWholeFile(fd);
        // A sweep of an earlier build may have taken the lock in the moment between the
        // creation and the locking, and removed the file: it is left to that.
        if (locked == 0 && !StillNamed(fd, name)) {
            close(fd);
            continue;
        }
        if (HeldElsewhere(locked) && ++refusals < RefusalsMeaningNoLocks) {
            if (StillNamed(fd, name)) unlink(name.c_str());
            close(fd);
            continue;
        }
        locking = LockingAfter(locked, name, ReopenFlags | O_NOFOLLOW);
        return fd;
    }
    namesTaken = true;
    return -1;
}

// Names past the ones a save tries, for the file a sweep is judged against where the file
// system makes no file without a name: a few, in case a killed sweep left one.
constexpr int ProbeNameTries = 10;

// When every temporary name of target is taken (by leftovers of earlier runs that had this
// process's number, as a game that is pid 1 in its container has on every run), there is no
// file of the save's own to judge the leftovers against: they are judged against a file made
// for it instead, which has the clock and the locks of the same file system and is gone when
// the sweep ends. That file has no name where the file system makes such files (no other
// process can open it, so a refusal of its lock is the file system's own); elsewhere it takes
// a temporary name no save tries, so a killed sweep's file is swept like any leftover. Only
// then, so that a save makes no more files than its own, and only once. False where no such
// file can be made.
bool SweepWithoutAName(const std::string& target) {
    const int unnamed = open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, NewFileMode);
    if (unnamed >= 0) {
        // It has no name to open it by again, only its descriptor in /proc: a link, which the
        // second open follows.
        const std::string reopen = "/proc/self/fd/" + std::to_string(unnamed);
        RemoveLeftovers(target, unnamed, LockingAfter(LockWholeFile(unnamed), reopen, ReopenFlags));
        close(unnamed);
        return true;
    }
    std::string named;
    Locking locking = Locking::Unavailable;
    bool namesTaken = false;
    const int probe = CreateTempNamed(target, TempNameTries, ProbeNameTries, named, locking, namesTaken);
    if (probe < 0) return false;
    RemoveLeftovers(target, probe, locking);
    if (StillNamed(probe, named)) unlink(named.c_str());
    close(probe);
    return true;
}

// Creates a new, empty file next to target, with the target's permissions when it exists, and
// locks it where the file system can; then sweeps what killed saves of target left. Returns the
// open descriptor and its name, or -1.
int CreateTempBeside(const std::string& target, std::string& name) {
    struct stat existing;
    const bool exists = stat(target.c_str(), &existing) == 0;
    // What "wb" on the target itself would refuse is refused here too.
    if (exists && (S_ISDIR(existing.st_mode) || access(target.c_str(), W_OK) != 0)) return -1;
    Locking locking = Locking::Unavailable;
    bool namesTaken = false;
    int fd = CreateTempNamed(target, 0, TempNameTries, name, locking, namesTaken);
    // Where every name was taken, the sweep has run already, judged against a file of its own.
    const bool swept = fd < 0 && namesTaken && SweepWithoutAName(target);
    if (swept) fd = CreateTempNamed(target, 0, TempNameTries, name, locking, namesTaken);
    if (fd < 0) return -1;
    if (exists) fchmod(fd, existing.st_mode & ModeBits);
    if (!swept) RemoveLeftovers(target, fd, locking);
    return fd;
}

// Opens a new temporary file beside target for writing; null when that cannot be done. hold is
// a second descriptor of the same open file, which keeps its lock after the stream is closed
// until the rename (-1 when none could be made).
std::FILE* OpenReplacement(const std::string& target, std::string& temp, int& hold) {
    hold = -1;
    const int fd = CreateTempBeside(target, temp);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        if (StillNamed(fd, temp)) unlink(temp.c_str());
        close(fd);
        return nullptr;
    }
    hold = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return file;
}

// Closes the temporary file and moves it over target, but only when every byte written to it
// reached the disk (and written says the caller's writes were whole); otherwise removes it.
// Then closes hold, which gives up the file's lock. True when target now holds the new content.
bool CommitReplacement(std::FILE* file, const std::string& temp, const std::string& target, bool written, int hold) {
    written = written && std::fflush(file) == 0 && !std::ferror(file);
    written = written && fsync(fileno(file)) == 0;
    written = (std::fclose(file) == 0) && written;
    written = written && std::rename(temp.c_str(), target.c_str()) == 0;
    // The name is removed only while it is still this save's file, where hold can tell.
    if (written)
        SyncFolder(target);
    else if (hold < 0 || StillNamed(hold, temp))
        unlink(temp.c_str());
    if (hold >= 0) close(hold);
    return written;
}

// A file still open for writing when the program ends normally is completed, as the C
// runtime's flush at exit would have done with the file written in place.
void CommitAtExit() { ASys.CloseFile_Sys(); }

}  // namespace

bool ReplaceFileWith(const char* path, const std::vector<unsigned char>& bytes) {
    if (!path) return false;
    std::string temp;
    int hold = -1;
    std::FILE* file = OpenReplacement(path, temp, hold);
    if (!file) return false;
    const bool whole = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return CommitReplacement(file, temp, path, whole, hold);
}

int VornSys::WriteFile_Sys(const char* path) {
    if (FileOpen == 1) CloseFile_Sys();
    std::string temp;
    int hold = -1;
    MyOpenFile = path ? OpenReplacement(path, temp, hold) : nullptr;
    if (!MyOpenFile) {
        PrintLine("Error Writing File");
        return 0;
    }
    WriteTarget = path;
    WriteTemp = temp;
    WriteHold = hold;
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
    if (!CommitReplacement(file, WriteTemp, WriteTarget, true, WriteHold)) PrintLine("Error Writing File");
    WriteTemp.clear();
    WriteTarget.clear();
    WriteHold = -1;
}
