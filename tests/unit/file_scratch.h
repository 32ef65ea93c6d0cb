// Scratch folders for tests that work on real files (each test a fresh folder of its own, so
// tests can run in parallel) and the count of the process's open file descriptors.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>

#include <filesystem>
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

inline int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}
