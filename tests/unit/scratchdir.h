// A fresh temporary folder that a test works in, removed after it.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

struct ScratchDir {
    std::filesystem::path home;  // the current folder before the test
    std::filesystem::path path;  // the scratch folder itself
};

// Makes a folder named after `prefix` in the system's temporary folder and makes
// it the current one; a failure fails the test.
inline void enterScratchDir(ScratchDir& dir, const char* prefix) {
    dir.home = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + ".XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir.path = pattern;
    std::filesystem::current_path(dir.path);
}

// Goes back to the folder the test started in and removes the scratch folder.
inline void leaveScratchDir(ScratchDir& dir) {
    std::filesystem::current_path(dir.home);
    std::filesystem::remove_all(dir.path);
}
