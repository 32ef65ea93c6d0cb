// Screenshots written as saves are: a whole PNG under the screenshot's name, or, when the disk
// is full or the folder read-only, the logged failure and no file of that name at all.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fakes.h"
#include "file_scratch.h"
#include "held_saves.h"
#include "images_fixtures.h"

namespace {

namespace fs = std::filesystem;

constexpr int WindowW = 64, WindowH = 32;

class ScreenshotFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ResetImageSlots();
        ResetFakes();
        ASys.CanvasWidth = WindowW;
        ASys.CanvasHeight = WindowH;
        FakeGl.framebufferWidth = WindowW;
        FakeGl.framebufferHeight = WindowH;
        // Varied enough that its PNG is far larger than a full disk lets through.
        FakeGl.framebuffer = Pixels(WindowW, WindowH, [](int x, int y) {
            return Rgba{(x * 37 + y * 11) % 256, (x * y * 7) % 256, (x ^ y) * 5 % 256, 255};
        });
        // A short folder name: the screenshot's whole path must fit ScreenshotName.
        dir = ScratchDir(std::string("img_") + testing::UnitTest::GetInstance()->current_test_info()->name());
        path = dir + "/s.png";
        ASSERT_LT(path.size(), sizeof ASys.ScreenshotName);
        std::snprintf(ASys.ScreenshotName, sizeof ASys.ScreenshotName, "%s", path.c_str());
    }
    void TearDown() override {
        std::error_code ignored;   // the folder may never have been made
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
        return names;
    }
    std::string SavingLine() const {
        return "Saving Image - " + std::to_string(WindowW) + "x" + std::to_string(WindowH) + "  to " + path;
    }

    std::string dir, path;
};

}  // namespace

// The picture goes to its file whole, with nothing left beside it; a second screenshot in the
// same second replaces the first.
TEST_F(ScreenshotFiles, AScreenshotIsOneWholeFile) {
    for (int shot = 0; shot < 2; ++shot) {
        SCOPED_TRACE(shot);
        const std::string out = Captured([] { ASys.Screenshot(); });
        EXPECT_TRUE(HasLogLine(out, SavingLine())) << out;
        EXPECT_EQ(out.find("didn't work"), std::string::npos) << out;
        EXPECT_EQ(Names(), std::vector<std::string>{fs::path(path).filename().string()});
        std::vector<unsigned char> png;
        unsigned w = 0, h = 0;
        ASSERT_EQ(lodepng::decode(png, w, h, path), 0u);
        EXPECT_EQ(w, unsigned(WindowW));
        EXPECT_EQ(h, unsigned(WindowH));
        EXPECT_TRUE(png == Image[ImgScreenshot]);
    }
}

// F10 on a full disk or into a folder that may not be written: the failure is logged, no
// cut-off picture and no temporary file stays, and the game goes on.
TEST_F(ScreenshotFiles, AScreenshotThatCannotBeWrittenIsLoggedAndLeavesNoFile) {
    struct Case {
        const char* name;
        DiskLimit limit;
    };
    const Case cases[] = {{"full disk", DiskLimit::FileSizeLimit}, {"read-only folder", DiskLimit::ReadOnlyFolders}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
        if (c.limit == DiskLimit::ReadOnlyFolders) fs::permissions(dir, fs::perms::owner_write, fs::perm_options::remove);
        const std::string out = PrintedUnder(c.limit, [] {
            ASys.Screenshot();
            std::printf("carried on\n");
        });
        fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_TRUE(HasLogLine(out, SavingLine())) << out;
        EXPECT_TRUE(HasLogLine(out, "The image save didn't work.  All the images are unsaved!! 79")) << out;
        EXPECT_NE(out.find("carried on\n"), std::string::npos) << out;
        EXPECT_TRUE(Names().empty());
    }
}

// F10 while a save of the screenshot's own file is open (here in a process of its own), with
// real locks and on file systems whose locks tell nothing: the screenshot's sweep passes over
// the save's file, though it is an hour old and named after the process's own number, and
// both land, the save closed last.
TEST_F(ScreenshotFiles, AScreenshotBesideAnOpenSaveOfItsFileKeepsTheSave) {
    for (const Locks& locks : {RealLocks, GrantsAll, CannotLock}) {
        SCOPED_TRACE(locks.name);
        for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());
        Holder holder({BRINDLEWICK_SAVE_HOLDER, path, "saved"}, [&] { UseLocks(locks); });
        ASSERT_TRUE(holder.Ready());
        ASSERT_EQ(Names().size(), 1u);   // the save's file beside the target
        const std::string pending = dir + "/" + Names().at(0);
        MakeHourOld(pending);
        ASSERT_TRUE(holder.Ask("shot", "shot"));
        std::vector<unsigned char> png;
        unsigned w = 0, h = 0;
        EXPECT_EQ(lodepng::decode(png, w, h, path), 0u);
        EXPECT_TRUE(fs::exists(pending)) << "the screenshot removed the open save's file";
        EXPECT_TRUE(holder.Finish());
        std::ifstream saved(path);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), "saved\n");
        EXPECT_EQ(Names(), std::vector<std::string>{"s.png"});
    }
}
