// Output files. The check asks the system whether the file (or, for a new file, its
// directory) may be written, so that a long computation never ends in an unwritable path.
#include "OutputFile.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "scenario/JsonInput.h"

namespace kestrom_sim {

namespace {

// The system's answer for the user running the tool (permissions, read-only media).
bool mayWrite(const std::string& path) {
#if defined(_WIN32)
    constexpr int kWrite = 2;  // _access's mode for write permission
    return _access(path.c_str(), kWrite) == 0;
#else
    return access(path.c_str(), W_OK) == 0;
#endif
}

}  // namespace

void checkOutputPath(const std::string& path, const std::string& option) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (fs::is_directory(path, ignored)) {
        throw InputError(path, option, "is a directory");
    }
    const fs::path parent = fs::path(path).parent_path();
    const std::string target =
        fs::exists(path, ignored) ? path : (parent.empty() ? "." : parent.string());
    if (!mayWrite(target)) {
        throw InputError(path, option, std::string("cannot be written: ") + std::strerror(errno));
    }
}

void writeTextFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        throw InputError(path, "", std::string("cannot be written: ") + std::strerror(errno));
    }
    out << content;
    out.close();
    if (!out) {
        throw InputError(path, "", "cannot be written");
    }
}

}  // namespace kestrom_sim
