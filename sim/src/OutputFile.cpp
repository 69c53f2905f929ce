// Output files. The check opens the file for writing, as the final write will, so that a long
// computation never ends in an unwritable path; a file it had to create it removes again.
#include "OutputFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "scenario/JsonInput.h"

namespace kestrom_sim {

void checkOutputPath(const std::string& path, const std::string& option) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (fs::is_directory(path, ignored)) {
        throw InputError(path, option, "is a directory");
    }
    // A pipe, a device or a socket would block the write or swallow it.
    const bool existed = fs::exists(path, ignored);
    if (existed && !fs::is_regular_file(path, ignored)) {
        throw InputError(path, option, "is not a regular file");
    }
    errno = 0;
    std::ofstream probe(path, std::ios::binary | std::ios::app);
    if (!probe) {
        throw InputError(path, option,
                         std::string("cannot be written: ") +
                             (errno != 0 ? std::strerror(errno) : "refused by the system"));
    }
    probe.close();
    if (!existed) {
        fs::remove(path, ignored);
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
