// The core's file access on real files: names below the home folder, the forwarders to the
// file primitives, the line readers and the text ring, the user's name, and opening a web page
// through a stand-in xdg-open that records its arguments (no shell ever sees the address).
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "VornCore.h"
#include "file_scratch.h"

namespace {

namespace fs = std::filesystem;

VornCore Core;

class FileAccess : public ::testing::Test {
protected:
    void SetUp() override {
        Core.CloseFile();
        dir = ScratchDirForTest();
        std::snprintf(Core.home, sizeof Core.home, "%s", dir.c_str());
    }
    void TearDown() override { Core.CloseFile(); }
    std::string Content(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir;
};

}  // namespace

TEST_F(FileAccess, FilesLiveInTheHomeFolder) {
    fs::create_directories(dir / "saves");
    struct Case {
        const char* name;
    };
    for (const Case& c : {Case{"Settings.sav"}, Case{"saves/Save_556_Brindlewick.sav"}}) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Core.WriteFile(c.name), 1);
        Core.WriteInt(-37171);
        Core.WriteByte('!');
        Core.WriteLine("line");
        Core.WriteString("string");
        Core.CloseFile();
        EXPECT_EQ(Content(c.name), std::string("\xCD\x6E\xFF\xFF!line\nstring\n", 17));

        ASSERT_EQ(Core.ReadFile(c.name), 1);
        EXPECT_EQ(Core.FilePos(), 0);
        EXPECT_EQ(Core.ReadInt(), -37171);
        EXPECT_EQ(Core.ReadByte(), '!');
        EXPECT_EQ(Core.FilePos(), 5);
        EXPECT_EQ(Core.ReadLine(), "line");
        EXPECT_EQ(Core.ReadLine(), "string");
        EXPECT_EQ(Core.ReadLine(), "");   // the end of the file
        Core.FileSeek(0);
        EXPECT_EQ(Core.ReadInt(), -37171);
        Core.CloseFile();
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(Core.ReadFile("none.sav"), 0);
    EXPECT_EQ(Core.WriteFile("no/such/folder.sav"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error Reading File\nError Writing File\n");
    EXPECT_EQ(Core.ReadInt(), 0);
    EXPECT_EQ(Core.ReadLine(), "");   // no file open: no line
}

TEST_F(FileAccess, ReadStringUsesTheNextRingBufferEachTime) {
    std::ofstream(dir / "lines.txt") << "first\nsecond\n";
    ASSERT_EQ(Core.ReadFile("lines.txt"), 1);
    TempstrUse = 0;
    std::set<int> used;
    for (int n = 0; n < TempstrCount; ++n) {
        const int index = Core.ReadString();
        EXPECT_EQ(index, (n + 1) % TempstrCount);
        used.insert(index);
        const char* want = n == 0 ? "first" : n == 1 ? "second" : "";
        EXPECT_STREQ(Core.Tempstr[index], want) << n;
    }
    EXPECT_EQ(used.size(), static_cast<size_t>(TempstrCount));
    Core.CloseFile();
    EXPECT_STREQ(Core.Tempstr[Core.ReadString()], "");   // with no file open too
}

TEST(UserName, IsTheLoginNameOfTheEffectiveUser) {
    const passwd* entry = getpwuid(geteuid());
    // A container run under a bare user number (docker run --user 4242) has no entry to name.
    if (!entry) GTEST_SKIP() << "user " << geteuid() << " has no entry in the user database (/etc/passwd)";
    EXPECT_EQ(Core.MyName(), entry->pw_name);
    EXPECT_FALSE(Core.MyName().empty());
}

// The address reaches xdg-open as one argument, byte for byte, whatever it holds.
TEST(OpenBrowser, RunsXdgOpenWithTheAddressAsOneArgument) {
    const fs::path dir = fs::path(BRINDLEWICK_TEST_TMP) / "open_browser";
    fs::remove_all(dir);
    fs::create_directories(dir / "bin");
    const fs::path record = dir / "arguments", opener = dir / "bin" / "xdg-open";
    std::ofstream(opener) << "#!/bin/sh\n"
                             "printf '%s\\n' \"$#\" > '" << record.string() << "'\n"
                             "printf '%s' \"$1\" >> '" << record.string() << "'\n"
                             "exit 7\n";
    fs::permissions(opener, fs::perms::owner_all);
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", ((dir / "bin").string() + ":" + savedPath).c_str(), 1);
    const std::string trap = (dir / "ran").string();

    const std::string addresses[] = {
        "https://example.org/scores?game=556&board=2",
        "x'; touch " + trap + "; echo '",
        "x\"; touch " + trap + "; echo \"",
        "$(touch " + trap + ")",
        "`touch " + trap + "`",
        "a b | touch " + trap,
        "",
    };
    for (const std::string& address : addresses) {
        SCOPED_TRACE(address);
        fs::remove(record);
        EXPECT_EQ(Core.OpenBrowser(address), 7);
        std::ifstream in(record, std::ios::binary);
        const std::string got(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(got, "1\n" + address);
        EXPECT_FALSE(fs::exists(trap));
    }

    // Without xdg-open nothing runs.
    setenv("PATH", (dir / "empty").c_str(), 1);
    EXPECT_EQ(Core.OpenBrowser("https://example.org"), -1);
    setenv("PATH", savedPath.c_str(), 1);
}
