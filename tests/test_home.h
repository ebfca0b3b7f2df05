// A fresh temporary folder per test, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

class TestHome {
public:
    TestHome() {
        std::string pattern = (std::filesystem::temp_directory_path() / "talvenor-test-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        dir_ = std::string(made ? made : pattern.c_str()) + "/";
    }
    ~TestHome() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};
