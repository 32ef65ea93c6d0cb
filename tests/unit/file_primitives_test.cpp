// The backend's file primitives on real files in a scratch folder: the byte layouts of
// integers, bytes and lines, short reads and the end of a file, one file open at a time,
// failed opens, calls with no file open, saves that reach the target only when closed, what
// killed saves leave behind, saves under way in processes this one cannot see (another pid
// namespace), and saves onto a full disk or into a read-only folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "Vorn_glfw3.h"
#include "file_scratch.h"

namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

constexpr int HolderWaitMs = 30000;   // a held save says "ready" within this, however busy the machine

// A save_holder process, started by a command line that may put a wrapper such as unshare before
// it. Its standard input is a pipe whose end (or a line) makes it close its save; its output, a
// pipe read here. What it prints on standard error goes to the test's log.
class Holder {
public:
    explicit Holder(const std::vector<std::string>& command) {
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
            std::vector<char*> args;
            for (const std::string& arg : command) args.push_back(const_cast<char*>(arg.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            std::perror(args[0]);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        input = in[1];
        output = out[0];
    }
    ~Holder() { Finish(); }

    // Waits until it says it holds its save; false when it ends or stays silent instead.
    bool Ready() {
        if (pid <= 0) return false;
        while (printed.find('\n') == std::string::npos)
            if (!ReadSome()) return false;
        return printed == "ready\n";
    }
    // Makes it close its save and waits for its end. True when it exited with status 0 and
    // printed nothing but "ready" (a failed close prints "Error Writing File").
    bool Finish() {
        if (pid <= 0) return false;
        close(input);
        while (ReadSome()) {
        }
        close(output);
        int status = 0;
        const bool ended = waitpid(pid, &status, 0) == pid;
        pid = -1;
        EXPECT_EQ(printed, "ready\n");
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0 && printed == "ready\n";
    }

private:
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
};

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
// target removes the ones of processes that no longer run, and keeps those of processes that
// still run (they may be writing them) and every name that is not exactly one of its own.
TEST_F(FilePrimitives, TheNextSaveRemovesWhatKilledSavesLeft) {
    const std::string path = Path("Settings.sav");
    Put(path, {'o', 'l', 'd', '\n'});
    auto leftoversOf = [&](pid_t pid) {
        std::vector<std::string> found;
        for (const std::string& name : Names())
            if (name.rfind("Settings.sav.tmp-" + std::to_string(pid) + "-", 0) == 0) found.push_back(name);
        return found;
    };

    // A save that a kill cut off: its process is gone.
    const pid_t killed = SaveInChild(path, [] { raise(SIGKILL); });
    ASSERT_GE(killed, 0);
    int status = 0;
    ASSERT_EQ(waitpid(killed, &status, 0), killed);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(leftoversOf(killed).size(), 1u);

    // A save still under way: the child holds its temporary file until it is told to die.
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
    ASSERT_EQ(leftoversOf(live).size(), 1u);

    // Names that look like leftovers but are kept, and one more of the dead process.
    const std::string dead = std::to_string(killed);
    const std::vector<std::string> kept = {
        "Settings.sav.tmp-" + std::to_string(getpid()) + "-50",   // this process runs
        "Settings.sav.tmp-1-0",                                 // so does process 1
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
    for (const std::string& name : kept) Put(Path(name), {'k'});
    Put(Path("Settings.sav.tmp-" + dead + "-7"), {'d'});
    fs::create_directory(dir / ("Settings.sav.tmp-" + dead + "-8"));   // no file: kept

    ASSERT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
    ASys.WriteInt_Sys(5);
    ASys.CloseFile_Sys();
    EXPECT_EQ(Read(path), (Bytes{5, 0, 0, 0}));
    std::vector<std::string> expected = kept;
    expected.push_back("Settings.sav");
    expected.push_back("Settings.sav.tmp-" + dead + "-8");
    expected.push_back(leftoversOf(live).at(0));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(), expected);
    for (const std::string& name : kept) EXPECT_EQ(Read(Path(name)), Bytes{'k'}) << name;

    // Once the other save's process is gone too, the next save removes its file.
    ASSERT_EQ(write(release[1], &byte, 1), 1);
    ASSERT_EQ(waitpid(live, &status, 0), live);
    ASSERT_TRUE(WIFSIGNALED(status));
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
    const std::string liveLeftover = leftoversOf(live).at(0);
    ASSERT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
    ASys.CloseFile_Sys();
    EXPECT_FALSE(fs::exists(Path(liveLeftover)));
    EXPECT_EQ(Names().size(), expected.size() - 1);
}

// A save in another pid namespace (a container) looks from here like the leftover of a process
// that is gone, but it holds its file: a save of the same target here keeps it, both saves
// land, and the last one closed wins. The one in the namespace runs as a process number that
// no process here has, so only its file's lock tells that it still runs.
TEST_F(FilePrimitives, SavesInAnotherPidNamespaceAndHereBothLand) {
    const std::string path = Path("Settings.sav");
    const pid_t unseen = EndedChildPid();
    const std::string innerTemp = "Settings.sav.tmp-" + std::to_string(unseen) + "-0";
    std::vector<std::string> command = {"unshare", "--pid", "--fork", "--mount-proc"};
    // Without root a user namespace of its own gives it the rights it needs in there.
    if (geteuid() != 0) command.insert(command.begin() + 1, {"--user", "--map-root-user"});
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
// to carry the number of an ended process. The next save keeps it while its save holds it, and
// removes the unheld leftover of that number beside it; the held save then closes as usual.
TEST_F(FilePrimitives, AHeldSaveKeepsItsFileThoughItsProcessLooksGone) {
    const std::string path = Path("Settings.sav");
    Put(path, {'o', 'l', 'd', '\n'});
    const std::string dead = std::to_string(EndedChildPid());
    Holder held({BRINDLEWICK_SAVE_HOLDER, path, "held"});
    ASSERT_TRUE(held.Ready());
    std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 2u);
    const std::string heldTemp = Path(names.at(1));   // "Settings.sav.tmp-<its pid>-0"
    const std::string disguised = Path("Settings.sav.tmp-" + dead + "-0");
    ASSERT_EQ(std::rename(heldTemp.c_str(), disguised.c_str()), 0);
    Put(Path("Settings.sav.tmp-" + dead + "-1"), {'d'});   // a leftover that nothing holds

    ASSERT_EQ(ASys.WriteFile_Sys(path.c_str()), 1);
    ASys.WriteInt_Sys(5);
    ASys.CloseFile_Sys();
    EXPECT_EQ(Read(path), (Bytes{5, 0, 0, 0}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"Settings.sav", "Settings.sav.tmp-" + dead + "-0"}));

    ASSERT_EQ(std::rename(disguised.c_str(), heldTemp.c_str()), 0);
    EXPECT_TRUE(held.Finish());
    EXPECT_EQ(Read(path), (Bytes{'h', 'e', 'l', 'd', '\n'}));
    EXPECT_EQ(Names(), std::vector<std::string>{"Settings.sav"});
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
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
}
