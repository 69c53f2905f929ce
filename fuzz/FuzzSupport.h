// Helpers shared by the fuzz targets: a scratch file for readers that take a path, and a
// wall-clock limit that turns a request that never ends into a finding.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kestrom_fuzz {

// One file per process, rewritten for every input; removed at exit.
class ScratchFile {
  public:
    explicit ScratchFile(const char* suffix) {
        std::string pattern = "/tmp/kestrom-fuzz-XXXXXX";
        pattern += suffix;
        const int fd = mkstemps(pattern.data(), static_cast<int>(std::string(suffix).size()));
        if (fd < 0) {
            std::perror("kestrom-fuzz: mkstemps");
            std::abort();
        }
        close(fd);
        path_ = pattern;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& write(const std::uint8_t* data, std::size_t size) {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size)) {
            std::perror("kestrom-fuzz: writing the scratch file");
            std::abort();
        }
        std::fclose(file);
        return path_;
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A finding of a property check: the message names it, abort() makes libFuzzer keep the input.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "kestrom-fuzz: property violated: %s\n", what);
    std::abort();
}

}  // namespace kestrom_fuzz
