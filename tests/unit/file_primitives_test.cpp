// The backend's file primitives on real files in a scratch folder: the byte layouts of
// integers, bytes and lines, short reads and the end of a file, one file open at a time,
// failed opens, calls with no file open, saves that reach the target only when closed, what
// killed saves leave behind (also named after the saver's own process number, as pid 1 in a
// container, and dated far ahead or centuries back), a file swapped under the sweep, saves
// under way in processes this one cannot see (another pid namespace), saves on file systems
// that cannot lock, refuse every lock or only the first, or grant every lock (a stand-in for
// the C library's locks), and saves onto a full disk or into a read-only folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "Vorn_glfw3.h"
#include "file_scratch.h"
#include "held_saves.h"

namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

// Runs command with its standard output and error read into output; its exit status (127 when
// it could not be started, -1 when it did not end normally).
int RunCapturing(const std::vector<std::string>& command, std::string& output) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return -1;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        Exec(command);
    }
    close(out[1]);
    output = ReadToEnd(out[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The command that runs what follows it as process 1 of a pid namespace of its own, with a
// /proc of that namespace. Without root a user namespace of its own gives it the rights it
// needs in there.
std::vector<std::string> InPidNamespace() {
    std::vector<std::string> command = {"unshare", "--pid", "--fork", "--mount-proc"};
    if (geteuid() != 0) command.insert(command.begin() + 1, {"--user", "--map-root-user"});
    return command;
}

// What keeps this machine from running a program in a pid namespace of its own (a chroot, an
// unprivileged container, user namespaces turned off), found by running `true` so; empty when
// nothing does.
std::string PidNamespaceMissing() {
    std::vector<std::string> command = InPidNamespace();
    std::string joined;
    for (const std::string& arg : command) joined += arg + " ";
    command.push_back("true");
    std::string said;
    const int status = RunCapturing(command, said);
    if (status == 0) return "";
    while (!said.empty() && said.back() == '\n') said.pop_back();
    return "no pid namespace here: `" + joined + "true` exits with " + std::to_string(status) +
           (said.empty() ? "" : " (\"" + said + "\")");
}

const Locks EveryLocking[] = {
    RealLocks,
    CannotLock,
    {"cannot lock (EOPNOTSUPP)", "EOPNOTSUPP", false},
    {"cannot lock (EINVAL)", "EINVAL", false},
    {"refuses every lock (EACCES)", "EACCES", false},
    {"refuses every lock (EAGAIN)", "EAGAIN", false},
    GrantsAll,
    RefusesFirst,
};

// A file as a killed save leaves it, written to now or an hour ago. Plain calls only: it also
// runs in a child about to start a program.
enum class Age { Fresh, HourOld };

void Plant(const std::string& path, Age age) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const char left = 'd';
    if (write(fd, &left, 1) != 1) {
    }
    close(fd);
    if (age == Age::HourOld) MakeHourOld(path);
}

// The temporary name a save of path by process pid gives its file on attempt n.
std::string TempName(const std::string& path, pid_t pid, int n) {
    return path + ".tmp-" + std::to_string(pid) + "-" + std::to_string(n);
}

// A process number that no process has: that of a child that has ended (numbers are handed
// out in rising order, so it is not soon given again).
pid_t EndedChildPid() {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

class FilePrimitives : public ::testing::Test {
protected:
    void SetUp() override {
        ASys.CloseFile_Sys();
        dir = ScratchDirForTest();
    }
    void TearDown() override { ASys.CloseFile_Sys(); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    static Bytes Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void Put(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
    }
    // The names in the scratch folder.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A child process that opens path for writing, writes 20,000 bytes (more than a stdio
    // buffer holds, so some reach the disk) and then, in place of a close, runs end.
    static pid_t SaveInChild(const std::string& path, const std::function<void()>& end) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            if (ASys.WriteFile_Sys(path.c_str()) != 1) _exit(2);
            for (int i = 0; i < 5000; ++i) ASys.WriteInt_Sys(i);
            end();
            _exit(3);
        }
        return child;
    }
    // The names in the scratch folder of temporary files that process pid made for saves of
    // Settings.sav.
    std::vector<std::string> TempsOf(pid_t pid) const {
        std::vector<std::string> found;
        for (const std::string& name : Names())
            if (name.rfind("Settings.sav.tmp-" + std::to_string(pid) + "-", 0) == 0) found.push_back(name);
        return found;
    }
    // Starts saver, a save_holder command saving Settings.sav with the text "mine", as process
    // pid (0: as the process that starts it) over leftovers an hour old named after that
    // process and a fresh one after them; under every locking in turn. The old ones hold the
    // 100 names earlier builds tried, or every name a save tries, so that none is free (also
    // where the file system makes no file without a name).
    void ExpectOwnLeftoversGo(const std::vector<std::string>& saver, pid_t pid) {
        struct Taken {
            const char* name;
            int names;
            bool unnamedFiles;   // whether the file system makes files without a name
        };
        const Taken cases[] = {{"the names earlier builds tried", 100, true},
                               {"every name a save tries", 1000, true},
                               {"every name a save tries, no files without a name", 1000, false}};
        const std::string path = Path("Settings.sav");
        for (const Taken& taken : cases)
            for (const Locks& locks : EveryLocking) {
                SCOPED_TRACE(std::string(taken.name) + ", " + locks.name);
                for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
                Put(path, {'o', 'l', 'd', '\n'});
                Holder holder(saver, [&] {
                    const pid_t owner = pid ? pid : getpid();
                    for (int n = 0; n < taken.names; ++n) Plant(TempName(path, owner, n), Age::HourOld);
                    Plant(TempName(path, owner, taken.names), Age::Fresh);
                    UseLocks(locks);
                    if (!taken.unnamedFiles) {
                        Preload(BRINDLEWICK_OPEN_SWAP);
                        setenv("BRINDLEWICK_NO_UNNAMED", "1", 1);
                    }
                });
                ASSERT_TRUE(holder.Ready());
                const pid_t owner = pid ? pid : holder.Pid();
                const std::string fresh = fs::path(TempName(path, owner, taken.names)).filename().string();
                const std::vector<std::string> during = TempsOf(owner);   // the fresh one and the save's own
                EXPECT_EQ(during.size(), 2u);
                EXPECT_NE(std::find(during.begin(), during.end(), fresh), during.end());
                EXPECT_TRUE(holder.Finish());
                EXPECT_EQ(Names(), (std::vector<std::string>{"Settings.sav", fresh}));
                EXPECT_EQ(Read(path), (Bytes{'m', 'i', 'n', 'e', '\n'}));
            }
    }
    // Gives held, a save_holder saving Settings.sav with the text "held", its file back from
    // where the test moved it, and lets it land: nothing but the target is left.
    void ExpectHeldSaveLands(Holder& held, const std::string& movedTo, const std::string& heldTemp) {
        ASSERT_EQ(std::rename(movedTo.c_str(), heldTemp.c_str()), 0);
        EXPECT_TRUE(held.Finish());
        EXPECT_EQ(Read(Path("Settings.sav")), (Bytes{'h', 'e', 'l', 'd', '\n'}));
        EXPECT_EQ(Names(), std::vector<std::string>{"Settings.sav"});
    }
    // Runs f and returns what it printed on standard output.
    static std::string Printed(const std::function<void()>& f) {
        testing::internal::CaptureStdout();
        f();
        return testing::internal::GetCapturedStdout();
    }

    fs::path dir;
};

}  // namespace

TEST_F(FilePrimitives, ValuesHaveTheirByteLayoutAndReadBack) {
    struct Case {
        const char* name;
        std::function<void()> write;
        Bytes bytes;
        std::function<void()> readBack;   // reads the value back and checks it
    };
    const Case cases[] = {
        {"-37171", [] { ASys.WriteInt_Sys(MissingNumber); }, {0xCD, 0x6E, 0xFF, 0xFF},
         [] { EXPECT_EQ(ASys.ReadInt_Sys(), MissingNumber); }},
        {"1", [] { ASys.WriteInt_Sys(1); }, {0x01, 0x00, 0x00, 0x00}, [] { EXPECT_EQ(ASys.ReadInt_Sys(), 1); }},
        {"INT_MIN", [] { ASys.WriteInt_Sys(INT_MIN); }, {0x00, 0x00, 0x00, 0x80},
         [] { EXPECT_EQ(ASys.ReadIntb_Sys(), INT_MIN); }},
        {"0x12345678", [] { ASys.WriteInt_Sys(0x12345678); }, {0x78, 0x56, 0x34, 0x12},
         [] { EXPECT_EQ(ASys.ReadInt_Sys(), 0x12345678); }},
        {"byte", [] { ASys.WriteByte_Sys('A'); }, {0x41}, [] { EXPECT_EQ(ASys.ReadByte_Sys(), 0x41); }},
        {"byte above 127", [] { ASys.WriteByte_Sys(static_cast<char>(0xF0)); }, {0xF0},
         [] { EXPECT_EQ(ASys.ReadByte_Sys(), 0xF0); }},
        {"line abc", [] { ASys.WriteString_Sys("abc"); }, {0x61, 0x62, 0x63, 0x0A},
         [] { EXPECT_STREQ(ASys.ReadString_Sys(), "abc"); }},
        {"empty line", [] { ASys.WriteString_Sys(""); }, {0x0A}, [] { EXPECT_STREQ(ASys.ReadString_Sys(), ""); }},
        {"line with a carriage return", [] { ASys.WriteString_Sys("a\rb"); }, {0x61, 0x0D, 0x62, 0x0A},
         [] { EXPECT_STREQ(ASys.ReadString_Sys(), "a\rb"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path("values.sav");
        ASSERT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
        c.write();
        ASys.CloseFile_Sys();
        EXPECT_EQ(Read(path), c.bytes);
        ASSERT_EQ(ASys.ReadFile_Sys(path.c_str()), 1);
        c.readBack();
        EXPECT_EQ(ASys.ReadByte_Sys(), -1);   // and nothing after it
        ASys.CloseFile_Sys();
    }
}

TEST_F(FilePrimitives, ShortReadsAndTheEndOfTheFile) {
    const std::string path = Path("short.sav");
    Put(path, {0x01, 0x00, 0x00, 0x00, 0x07, 0x08});
    ASSERT_EQ(ASys.ReadFile_Sys(path.c_str()), 1);
    EXPECT_EQ(ASys.ReadInt_Sys(), 1);
    EXPECT_EQ(ASys.ReadInt_Sys(), MissingNumber);   // two bytes left: a missing number
    EXPECT_EQ(ASys.ReadInt_Sys(), MissingNumber);
    EXPECT_EQ(ASys.ReadByte_Sys(), -1);
    ASys.FileSeek_Sys(4);
    EXPECT_EQ(ASys.ReadIntb_Sys(), MissingNumber);

    struct Case {
        const char* name;
        std::string content;
        std::vector<std::string> lines;   // what successive reads return, the last at the end
    };
    const Case cases[] = {
        {"two lines", "abc\nde\n", {"abc", "de", ""}},
        {"empty lines", "\n\nx\n", {"", "", "x", ""}},
        {"last line without a line feed loses its last character", "abc\nxyz", {"abc", "xy", ""}},
        {"empty file", "", {"", ""}},
        {"a line longer than the buffer comes in pieces", std::string(1030, 'q') + "\n",
         {std::string(1022, 'q'), "qqqqqqq", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Put(path, Bytes(c.content.begin(), c.content.end()));
        ASSERT_EQ(ASys.ReadFile_Sys(path.c_str()), 1);
        for (const std::string& line : c.lines) {
            const char* got = ASys.ReadString_Sys();
            ASSERT_NE(got, nullptr);
            EXPECT_EQ(got, line);
        }
        // At the end a read gives the empty text again, not the last line.
        EXPECT_STREQ(ASys.ReadString_Sys(), "");
        ASys.CloseFile_Sys();
    }
}

TEST_F(FilePrimitives, PositionAndSeek) {
    const std::string path = Path("pos.sav");
    ASSERT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
    EXPECT_EQ(ASys.FilePos_Sys(), 0);
    for (int v : {10, 20, 30}) ASys.WriteInt_Sys(v);
    EXPECT_EQ(ASys.FilePos_Sys(), 12);
    ASys.FileSeek_Sys(4);
    ASys.WriteInt_Sys(21);
    ASys.CloseFile_Sys();

    ASSERT_EQ(ASys.ReadFile_Sys(path.c_str()), 1);
    ASys.FileSeek_Sys(8);
    EXPECT_EQ(ASys.FilePos_Sys(), 8);
    EXPECT_EQ(ASys.ReadInt_Sys(), 30);
    ASys.FileSeek_Sys(4);
    EXPECT_EQ(ASys.ReadInt_Sys(), 21);
    ASys.FileSeek_Sys(0);
    EXPECT_EQ(ASys.ReadInt_Sys(), 10);
}

// With no file open writes are skipped and reads give their neutral values.
TEST_F(FilePrimitives, NoFileOpen) {
    EXPECT_EQ(FileOpen, 0);
    const std::string printed = Printed([] {
        ASys.WriteInt_Sys(5);
        ASys.WriteByte_Sys('x');
        ASys.WriteString_Sys("text");
        EXPECT_EQ(ASys.ReadInt_Sys(), 0);
        EXPECT_EQ(ASys.ReadIntb_Sys(), 0);
        EXPECT_EQ(ASys.ReadByte_Sys(), 0);
        EXPECT_EQ(ASys.ReadString_Sys(), nullptr);
        EXPECT_EQ(ASys.FilePos_Sys(), -1);
        ASys.FileSeek_Sys(12);
        ASys.CloseFile_Sys();
    });
    EXPECT_EQ(printed, "");
    EXPECT_TRUE(Names().empty());
}

TEST_F(FilePrimitives, FailedOpensLeaveNoFileOpen) {
    fs::create_directories(dir / "folder");
    struct Case {
        const char* name;
        bool write;
        std::string path;
        const char* line;
    };
    const Case cases[] = {
        {"write into a missing folder", true, Path("missing/a.sav"), "Error Writing File\n"},
        {"write over a folder", true, Path("folder"), "Error Writing File\n"},
        {"read a missing file", false, Path("none.sav"), "Error Reading File\n"},
        {"read a folder", false, Path("folder"), "Error Reading File\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A file is open before the failed open: it is closed, and its bytes are on disk.
        ASSERT_EQ(ASys.WriteFile_Sys(Path("before.sav").c_str()), 1);
        ASys.WriteInt_Sys(7);
        int result = -1;
        const std::string printed =
            Printed([&] { result = c.write ? ASys.WriteFile_Sys(c.path.c_str()) : ASys.ReadFile_Sys(c.path.c_str()); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(printed, c.line);
        EXPECT_EQ(FileOpen, 0);
        EXPECT_EQ(MyOpenFile, nullptr);
        ASys.WriteInt_Sys(9);   // goes nowhere
        EXPECT_EQ(ASys.ReadInt_Sys(), 0);
        EXPECT_EQ(Read(Path("before.sav")), (Bytes{7, 0, 0, 0}));
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"before.sav", "folder"}));
}

// Opening a file for reading while one is open for writing completes the written one first.
TEST_F(FilePrimitives, OneFileAtATime) {
    const std::string a = Path("a.sav"), b = Path("b.sav");
    Put(b, {1, 2, 3, 4});
    ASSERT_EQ(ASys.WriteFile_Sys(a.c_str()), 1);
    ASys.WriteInt_Sys(-37171);
    ASSERT_EQ(ASys.ReadFile_Sys(b.c_str()), 1);
    EXPECT_EQ(Read(a), (Bytes{0xCD, 0x6E, 0xFF, 0xFF}));
    EXPECT_EQ(ASys.ReadInt_Sys(), 0x04030201);

    // Reading a file that was just written, without a close in between.
    ASSERT_EQ(ASys.WriteFile_Sys(a.c_str()), 1);
    ASys.WriteString_Sys("fresh");
    ASSERT_EQ(ASys.ReadFile_Sys(a.c_str()), 1);
    EXPECT_STREQ(ASys.ReadString_Sys(), "fresh");
    ASys.CloseFile_Sys();
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.sav", "b.sav"}));
}

// A save cut off before its close (a crash or a kill) leaves the previous file whole: the new
// bytes go to a file beside it that only the close moves over it.
TEST_F(FilePrimitives, ASaveReachesItsFileOnlyWhenClosed) {
    const std::string path = Path("Settings.sav");
    const Bytes old = {1, 0, 0, 0, 2, 0, 0, 0, 'o', 'l', 'd', '\n'};
    Put(path, old);
    chmod(path.c_str(), 0640);

    ASSERT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
    ASys.WriteInt_Sys(3);
    EXPECT_EQ(Read(path), old);
    for (int i = 0; i < 5000; ++i) ASys.WriteInt_Sys(i);   // more than one stdio buffer
    EXPECT_EQ(Read(path), old);
    EXPECT_EQ(Names().size(), 2u);   // the target and the file being written beside it

    ASys.CloseFile_Sys();
    const Bytes now = Read(path);
    ASSERT_EQ(now.size(), 4u + 5000u * 4u);
    EXPECT_EQ(Bytes(now.begin(), now.begin() + 4), (Bytes{3, 0, 0, 0}));
    EXPECT_EQ(Names(), std::vector<std::string>{"Settings.sav"});   // nothing left behind
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);   // the saved file keeps its permissions

    // A new file appears only at its close too.
    const std::string fresh = Path("Save_556.sav");
    ASSERT_EQ(ASys.WriteFile_Sys(fresh.c_str()), 1);
    ASys.WriteByte_Sys('z');
    EXPECT_FALSE(fs::exists(fresh));
    ASys.CloseFile_Sys();
    EXPECT_EQ(Read(fresh), Bytes{'z'});
    EXPECT_EQ(Names(), (std::vector<std::string>{"Save_556.sav", "Settings.sav"}));
}

// A program that is killed in the middle of a save leaves the previous file whole; one that
// ends normally with the file still open completes it, as the runtime's flush at exit would.
TEST_F(FilePrimitives, AKilledSaveKeepsTheOldFile) {
    const std::string path = Path("Settings.sav");
    const Bytes old = {'o', 'l', 'd', '\n'};
    struct Case {
        const char* name;
        bool killed;
    };
    for (const Case& c : {Case{"killed", true}, Case{"exits", false}}) {
        SCOPED_TRACE(c.name);
        Put(path, old);
        const pid_t child = SaveInChild(path, [&] {
            if (c.killed) raise(SIGKILL);
            std::exit(0);
        });
        ASSERT_GE(child, 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (c.killed) {
            ASSERT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(Read(path), old);
        } else {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0);
            EXPECT_EQ(Read(path).size(), 5000u * 4u);
        }
    }
}

// A save killed mid-write leaves its temporary file beside the target. The next save of that
// target removes those that are a minute old and that no save holds locked, whatever process
// number they carry (this one's, or 1, which always runs); it keeps the fresh ones (a save may
// have just made them), those that a save still holds however long it has been quiet, and
// every name that is not exactly one of its own.
TEST_F(FilePrimitives, TheNextSaveRemovesWhatKilledSavesLeft) {
    const std::string path = Path("Settings.sav");
    Put(path, {'o', 'l', 'd', '\n'});

    // A save that a kill cut off: its process is gone.
    const pid_t killed = SaveInChild(path, [] { raise(SIGKILL); });
    ASSERT_GE(killed, 0);
    int status = 0;
    ASSERT_EQ(waitpid(killed, &status, 0), killed);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(TempsOf(killed).size(), 1u);
    MakeHourOld(Path(TempsOf(killed).at(0)));

    // A save still under way, quiet for an hour: the child holds its temporary file until it
    // is told to die.
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t live = SaveInChild(path, [&] {
        char byte = 1;
        if (write(ready[1], &byte, 1) != 1) _exit(2);
        while (read(release[0], &byte, 1) < 0) {
        }
        raise(SIGKILL);
    });
    ASSERT_GE(live, 0);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(TempsOf(live).size(), 1u);
    const std::string liveLeftover = TempsOf(live).at(0);
    MakeHourOld(Path(liveLeftover));

    // Names that look like leftovers but are kept however old, more leftovers that go, and
    // one that is kept because it is fresh.
    const std::string dead = std::to_string(killed);
    const std::vector<std::string> kept = {
        "Settings.sav.tmp-" + dead,                             // no counter
        "Settings.sav.tmp-" + dead + "-3x",
        "Settings.sav.tmp-" + dead + "-",
        "Settings.sav.tmp--3",
        "Settings.sav.tmp-0" + dead + "-3",                     // not a name a save makes
        "Settings.sav.tmp-99999999999-3",                       // no process number
        "Settings.sav.tmp-" + dead + "-3.bak",
        "xSettings.sav.tmp-" + dead + "-3",                     // other targets
        "Settings.sa.tmp-" + dead + "-3",
        "Save_556.sav.tmp-" + dead + "-0",
    };
    for (const std::string& name : kept) {
        Put(Path(name), {'k'});
        MakeHourOld(Path(name));
    }
    for (const std::string& name : {TempName("Settings.sav", getpid(), 50), TempName("Settings.sav", 1, 0),
                                    TempName("Settings.sav", killed, 7)})
        Plant(Path(name), Age::HourOld);
    const std::string fresh = TempName("Settings.sav", killed, 6);
    Plant(Path(fresh), Age::Fresh);
    fs::create_directory(dir / ("Settings.sav.tmp-" + dead + "-8"));   // no file: kept
    MakeHourOld(Path("Settings.sav.tmp-" + dead + "-8"));

    ASSERT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
    ASys.WriteInt_Sys(5);
    ASys.CloseFile_Sys();
    EXPECT_EQ(Read(path), (Bytes{5, 0, 0, 0}));
    std::vector<std::string> expected = kept;
    for (const std::string& name : {std::string("Settings.sav"), "Settings.sav.tmp-" + dead + "-8", fresh, liveLeftover})
        expected.push_back(name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(), expected);
    for (const std::string& name : kept) EXPECT_EQ(Read(Path(name)), Bytes{'k'}) << name;

    // Once the other save's process is gone too, the next save removes its file.
    ASSERT_EQ(write(release[1], &byte, 1), 1);
    ASSERT_EQ(waitpid(live, &status, 0), live);
    ASSERT_TRUE(WIFSIGNALED(status));
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
    ASSERT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
    ASys.CloseFile_Sys();
    EXPECT_FALSE(fs::exists(Path(liveLeftover)));
    EXPECT_EQ(Names().size(), expected.size() - 1);
}

// A leftover's age is measured against the save's own new file however far apart their times
// are: one dated ahead of it (a file server's clock ahead, a time set by hand) counts as fresh
// and stays, one dated centuries back is old and goes. The times are as far as the file system
// stores them (it clamps what it cannot), in the scratch folder and, where there is one, on
// /dev/shm, a memory file system that keeps times a disk clamps.
TEST_F(FilePrimitives, LeftoversDatedFarAheadStayAndCenturiesBackGo) {
    constexpr long long Century = 100LL * 365 * 24 * 3600, Day = 24 * 3600;
    const long long now = std::time(nullptr);
    struct Case {
        const char* name;
        long long seconds;
        bool ahead;   // kept; otherwise removed
    };
    const Case cases[] = {
        {"the latest time stored", LLONG_MAX, true},  {"five centuries ahead", now + 5 * Century, true},
        {"a day ahead", now + Day, true},             {"five centuries back", now - 5 * Century, false},
        {"the earliest time stored", LLONG_MIN, false},
    };
    std::vector<fs::path> folders = {dir};
    const fs::path shm = "/dev/shm";
    struct stat shmInfo, dirInfo;
    std::string missing;
    if (stat(shm.c_str(), &shmInfo) == 0 && S_ISDIR(shmInfo.st_mode) && access(shm.c_str(), W_OK) == 0 &&
        stat(dir.c_str(), &dirInfo) == 0 && shmInfo.st_dev != dirInfo.st_dev)
        folders.push_back(shm / ("brindlewick_" + std::to_string(getpid()) + "_far_times"));
    else
        missing = "no writable /dev/shm on a file system of its own: only the scratch folder's times";
    const pid_t dead = EndedChildPid();
    for (const fs::path& folder : folders) {
        SCOPED_TRACE(folder.string());
        fs::remove_all(folder);
        fs::create_directories(folder);
        const std::string path = (folder / "Settings.sav").string();
        std::vector<std::string> left = {"Settings.sav"};
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const Case& c = cases[i];
            const std::string leftover = TempName(path, dead, static_cast<int>(i));
            Plant(leftover, Age::Fresh);
            const timespec times[2] = {{static_cast<time_t>(c.seconds), 0}, {static_cast<time_t>(c.seconds), 0}};
            struct stat stored {};
            const bool set = utimensat(AT_FDCWD, leftover.c_str(), times, 0) == 0 && stat(leftover.c_str(), &stored) == 0;
            // A time the file system refused, or clamped to the near side of now, tests nothing.
            if (!set || (c.ahead ? stored.st_mtim.tv_sec <= now + 3600 : stored.st_mtim.tv_sec >= now - 3600)) {
                missing += std::string(missing.empty() ? "" : "; ") + folder.string() + ": " + c.name + " is not stored";
                fs::remove(leftover);
                continue;
            }
            if (c.ahead) left.push_back(fs::path(leftover).filename().string());
        }
        // Checked without returning, so the folder in /dev/shm is removed below whatever happens.
        EXPECT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
        ASys.WriteInt_Sys(5);
        ASys.CloseFile_Sys();
        EXPECT_EQ(Read(path), (Bytes{5, 0, 0, 0}));
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(names, left);
        if (folder != dir) fs::remove_all(folder);
    }
    if (!missing.empty()) GTEST_SKIP() << missing;
}

// A save in another pid namespace (a container) looks from here like the leftover of a process
// that is gone, but it holds its file: a save of the same target here keeps it, both saves
// land, and the last one closed wins. The one in the namespace runs as a process number that
// no process here has, and its file is made an hour old, so only its file's lock tells that it
// still runs.
TEST_F(FilePrimitives, SavesInAnotherPidNamespaceAndHereBothLand) {
    const std::string missing = PidNamespaceMissing();
    if (!missing.empty()) GTEST_SKIP() << missing;
    const std::string path = Path("Settings.sav");
    const pid_t unseen = EndedChildPid();
    const std::string innerTemp = "Settings.sav.tmp-" + std::to_string(unseen) + "-0";
    std::vector<std::string> command = InPidNamespace();
    for (const std::string& arg : {std::string(BRINDLEWICK_SAVE_HOLDER), path, std::string("inner"), std::to_string(unseen)})
        command.push_back(arg);

    struct Case {
        const char* name;
        bool innerClosesLast;
    };
    for (const Case& c : {Case{"the inner save closes first", false}, Case{"the inner save closes last", true}}) {
        SCOPED_TRACE(c.name);
        Put(path, {'o', 'l', 'd', '\n'});
        Holder inner(command);
        ASSERT_TRUE(inner.Ready()) << "no save held in a pid namespace of its own (unshare)";
        ASSERT_TRUE(fs::exists(Path(innerTemp)));
        ASSERT_EQ(kill(unseen, 0), -1);
        ASSERT_EQ(errno, ESRCH) << "process " << unseen << " runs here: the test cannot tell the lock from it";
        MakeHourOld(Path(innerTemp));

        std::string printed = Printed([&] {
            if (ASys.WriteFile_Sys(path.c_str()) == 1) ASys.WriteString_Sys("outer");
        });
        EXPECT_TRUE(fs::exists(Path(innerTemp)));   // its sweep kept the held file
        if (c.innerClosesLast) printed += Printed([] { ASys.CloseFile_Sys(); });
        EXPECT_TRUE(inner.Finish());
        printed += Printed([] { ASys.CloseFile_Sys(); });
        EXPECT_EQ(printed, "");
        const std::string last = c.innerClosesLast ? "inner\n" : "outer\n";
        EXPECT_EQ(Read(path), Bytes(last.begin(), last.end()));
        EXPECT_EQ(Names(), std::vector<std::string>{"Settings.sav"});
    }
}

// The same with the process number made to look gone here: a save's temporary file renamed
// to carry the number of an ended process, and an hour old. The next save keeps it while its
// save holds it, and removes the unheld leftover of that number beside it; the held save then
// closes as usual. Also when the next save's first lock request is refused (refuses-first):
// one refusal is no sign that the file system refuses every lock, so that save makes another
// file, locks it and goes by the locks.
TEST_F(FilePrimitives, AHeldSaveKeepsItsFileThoughItsProcessLooksGone) {
    const std::string path = Path("Settings.sav");
    struct Case {
        const char* name;
        bool firstLockRefused;   // the next save runs in a process of its own, under refuses-first
    };
    for (const Case& c : {Case{"the next save here", false}, Case{"the next save's first lock refused", true}}) {
        SCOPED_TRACE(c.name);
        for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
        Put(path, {'o', 'l', 'd', '\n'});
        const pid_t dead = EndedChildPid();
        Holder held({BRINDLEWICK_SAVE_HOLDER, path, "held"});
        ASSERT_TRUE(held.Ready());
        const std::string heldTemp = TempName(path, held.Pid(), 0);
        ASSERT_EQ(Names(), (std::vector<std::string>{"Settings.sav", fs::path(heldTemp).filename().string()}));
        const std::string disguised = TempName(path, dead, 0);
        ASSERT_EQ(std::rename(heldTemp.c_str(), disguised.c_str()), 0);
        MakeHourOld(disguised);
        Plant(TempName(path, dead, 1), Age::HourOld);   // a leftover that nothing holds

        if (!c.firstLockRefused) {
            ASSERT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
            ASys.WriteInt_Sys(5);
            ASys.CloseFile_Sys();
            EXPECT_EQ(Read(path), (Bytes{5, 0, 0, 0}));
        } else {
            Holder saver({BRINDLEWICK_SAVE_HOLDER, path, "saver"},
                         [] { UseLocks(RefusesFirst); });
            ASSERT_TRUE(saver.Ready());
            // The refused file is gone; the save's own has the next name, and is locked.
            const std::vector<std::string> saverTemps = TempsOf(saver.Pid());
            EXPECT_EQ(saverTemps, std::vector<std::string>{fs::path(TempName(path, saver.Pid(), 1)).filename().string()});
            ASSERT_EQ(saverTemps.size(), 1u);
            const int probe = open(Path(saverTemps.at(0)).c_str(), O_WRONLY | O_CLOEXEC);
            ASSERT_GE(probe, 0);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            ASSERT_EQ(fcntl(probe, F_OFD_GETLK, &lock), 0);
            close(probe);
            EXPECT_EQ(lock.l_type, F_WRLCK) << "the save goes on unlocked";
            EXPECT_TRUE(saver.Finish());
            EXPECT_EQ(Read(path), (Bytes{'s', 'a', 'v', 'e', 'r', '\n'}));
        }
        EXPECT_EQ(Names(), (std::vector<std::string>{"Settings.sav", fs::path(disguised).filename().string()}));

        ExpectHeldSaveLands(held, disguised, heldTemp);
    }
}

// A sweep removes only the file it judged. Between its judgement of an hour-old leftover of a
// process that is gone and its removal, the file at that name is swapped for that of a save
// under way, quiet for an hour (the open_swap library moves it there as the sweep opens the
// name): the save under way keeps its file and lands, on every file system.
TEST_F(FilePrimitives, ASweepRemovesOnlyTheFileItJudged) {
    const std::string path = Path("Settings.sav");
    const std::string leftover = TempName(path, EndedChildPid(), 0);
    for (const Locks& locks : EveryLocking) {
        SCOPED_TRACE(locks.name);
        for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
        Put(path, {'o', 'l', 'd', '\n'});
        Holder held({BRINDLEWICK_SAVE_HOLDER, path, "held"}, [&] { UseLocks(locks); });
        ASSERT_TRUE(held.Ready());
        ASSERT_EQ(TempsOf(held.Pid()).size(), 1u);
        const std::string heldTemp = Path(TempsOf(held.Pid()).at(0));
        MakeHourOld(heldTemp);
        Plant(leftover, Age::HourOld);

        Holder saver({BRINDLEWICK_SAVE_HOLDER, path, "saver"}, [&] {
            UseLocks(locks);
            Preload(BRINDLEWICK_OPEN_SWAP);
            setenv("BRINDLEWICK_SWAP_NAME", fs::path(leftover).filename().c_str(), 1);
            setenv("BRINDLEWICK_SWAP_FROM", heldTemp.c_str(), 1);
        });
        ASSERT_TRUE(saver.Ready());
        ASSERT_FALSE(fs::exists(heldTemp)) << "the sweep never opened the leftover, so nothing was swapped";
        EXPECT_TRUE(fs::exists(leftover)) << "the sweep removed the held save's file swapped in for the leftover";
        EXPECT_TRUE(saver.Finish());
        EXPECT_EQ(Read(path), (Bytes{'s', 'a', 'v', 'e', 'r', '\n'}));
        ExpectHeldSaveLands(held, leftover, heldTemp);
    }
}

// On a file system that cannot lock, one that refuses every lock and one that grants every lock
// without excluding any other (the stand-in before the C library of the saving processes), as
// with real locks: a save lands and makes one file of its own, which is gone once it has
// landed. Saves under way stay and land after it: one quiet for an hour, and one just begun
// whose file carries the number of a process that is gone here (as a save in another pid
// namespace does). An hour old leftover goes, of a process that is gone or of one that runs
// without it open (where /proc shows that); a fresh one stays.
TEST_F(FilePrimitives, SavesLandOnFileSystemsThatLockOtherwise) {
    const std::string path = Path("Settings.sav");
    const pid_t dead = EndedChildPid();
    const std::string oldGone = TempName(path, dead, 0), freshGone = TempName(path, dead, 1);
    const std::string unseenTemp = TempName(path, dead, 2);
    const std::string oldRunning = TempName(path, getpid(), 0);   // this test's process runs
    char self[32] = {};
    const bool procSeen = readlink("/proc/self", self, sizeof self - 1) > 0 && std::atoi(self) == getpid();
    auto names = [](std::vector<std::string> paths) {
        for (std::string& p : paths) p = fs::path(p).filename().string();
        std::sort(paths.begin(), paths.end());
        return paths;
    };
    for (const Locks& locks : EveryLocking) {
        SCOPED_TRACE(locks.name);
        for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
        Put(path, {'o', 'l', 'd', '\n'});
        // The saves under way, each with one file of its own beside the target.
        Holder quiet({BRINDLEWICK_SAVE_HOLDER, path, "quiet"}, [&] { UseLocks(locks); });
        ASSERT_TRUE(quiet.Ready());
        ASSERT_EQ(Names().size(), 2u);
        ASSERT_EQ(TempsOf(quiet.Pid()).size(), 1u);
        const std::string quietTemp = Path(TempsOf(quiet.Pid()).at(0));
        MakeHourOld(quietTemp);
        Holder unseen({BRINDLEWICK_SAVE_HOLDER, path, "unseen"}, [&] { UseLocks(locks); });
        ASSERT_TRUE(unseen.Ready());
        ASSERT_EQ(Names().size(), 3u);
        ASSERT_EQ(TempsOf(unseen.Pid()).size(), 1u);
        const std::string unseenOwnTemp = Path(TempsOf(unseen.Pid()).at(0));
        ASSERT_EQ(std::rename(unseenOwnTemp.c_str(), unseenTemp.c_str()), 0);
        Plant(oldGone, Age::HourOld);
        Plant(freshGone, Age::Fresh);
        Plant(oldRunning, Age::HourOld);

        Holder saver({BRINDLEWICK_SAVE_HOLDER, path, "saver"}, [&] { UseLocks(locks); });
        ASSERT_TRUE(saver.Ready());
        std::vector<std::string> left = {path, freshGone};
        // Without a /proc of this pid namespace no one can tell whether a running process has
        // the file open: where no lock tells either, its leftover stays.
        if (!locks.excludes && !procSeen) left.push_back(oldRunning);
        const std::vector<std::string> saverTemps = TempsOf(saver.Pid());
        ASSERT_EQ(saverTemps.size(), 1u);
        std::vector<std::string> during = left;
        for (const std::string& name : {quietTemp, unseenTemp, Path(saverTemps.at(0))}) during.push_back(name);
        EXPECT_EQ(Names(), names(during));
        EXPECT_TRUE(saver.Finish());
        EXPECT_EQ(Read(path), (Bytes{'s', 'a', 'v', 'e', 'r', '\n'}));
        ASSERT_EQ(std::rename(unseenTemp.c_str(), unseenOwnTemp.c_str()), 0);
        EXPECT_TRUE(unseen.Finish());
        EXPECT_EQ(Read(path), (Bytes{'u', 'n', 's', 'e', 'e', 'n', '\n'}));
        EXPECT_TRUE(quiet.Finish());
        EXPECT_EQ(Read(path), (Bytes{'q', 'u', 'i', 'e', 't', '\n'}));
        EXPECT_EQ(Names(), names(left));
    }
}

// Leftovers named after the saver's own process number are from an earlier run that had the
// same number (a game that is pid 1 in its container has it on every run). Once an hour old
// they go, on every file system, even when they hold every name that earlier builds tried, or
// every name a save tries, so that the save finds none of those free; a fresh one stays.
TEST_F(FilePrimitives, LeftoversNamedAfterTheSaversOwnPidGo) {
    const std::string path = Path("Settings.sav");
    ExpectOwnLeftoversGo({BRINDLEWICK_SAVE_HOLDER, path, "mine"}, 0);
}

// The same for a save that is process 1 of a pid namespace of its own, as in a container.
TEST_F(FilePrimitives, ASaveAsPid1SweepsTheLeftoversOfItsEarlierRuns) {
    const std::string missing = PidNamespaceMissing();
    if (!missing.empty()) GTEST_SKIP() << missing;
    const std::string path = Path("Settings.sav");
    std::vector<std::string> saver = InPidNamespace();
    for (const std::string& arg : {std::string(BRINDLEWICK_SAVE_HOLDER), path, std::string("mine")}) saver.push_back(arg);
    ExpectOwnLeftoversGo(saver, 1);
}

// A save onto a full disk or into a folder that may not be written keeps the old file whole,
// says "Error Writing File", and leaves nothing beside it; the program goes on.
TEST_F(FilePrimitives, ASaveThatCannotBeWrittenKeepsTheOldFileAndLeavesNothing) {
    const std::string path = Path("Settings.sav");
    const Bytes old = {'o', 'l', 'd', '\n'};
    struct Case {
        const char* name;
        DiskLimit limit;
    };
    const Case cases[] = {
        {"full disk", DiskLimit::FileSizeLimit},           // the close finds the lost bytes
        {"read-only folder", DiskLimit::ReadOnlyFolders},  // no temporary file can be made
    };
    std::string missing;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string lacking = DiskLimitMissing(c.limit);
        if (!lacking.empty()) {
            missing += std::string(missing.empty() ? "" : "; ") + c.name + ": " + lacking;
            continue;
        }
        Put(path, old);
        chmod(path.c_str(), 0666);   // the file itself may be written
        if (c.limit == DiskLimit::ReadOnlyFolders) chmod(dir.c_str(), 0555);
        const std::string printed = PrintedUnder(c.limit, [&] {
            ASys.WriteFile_Sys(path.c_str());
            for (int i = 0; i < 5000; ++i) ASys.WriteInt_Sys(i);
            ASys.CloseFile_Sys();
            std::printf("carried on\n");
        });
        chmod(dir.c_str(), 0755);
        EXPECT_EQ(printed, "Error Writing File\ncarried on\n");
        EXPECT_EQ(Read(path), old);
        EXPECT_EQ(Names(), std::vector<std::string>{"Settings.sav"});
    }
    if (!missing.empty()) GTEST_SKIP() << missing;
}
