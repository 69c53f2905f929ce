// A fresh, empty folder under the system's temporary folder, removed with all it holds when
// the object goes: the working place of one test (on Linux and on Windows alike).
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

class ScratchDirectory {
  public:
    explicit ScratchDirectory(const std::string& prefix) {
        static std::atomic<unsigned> created{0};
        const std::filesystem::path temp = std::filesystem::temp_directory_path();
        // Tests run in parallel processes: a name that is taken is simply skipped.
        do {
            const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
            path_ = temp / (prefix + std::to_string(tick) + "-" + std::to_string(created++));
        } while (!std::filesystem::create_directory(path_));
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};
