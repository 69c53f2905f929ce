// Running a program from a test through the system's command interpreter (sh, or cmd.exe on
// Windows): quoting, the null device, and the program's exit status.
#pragma once

#include <cstdlib>
#include <string>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

// text as one argument; it must hold no quote character.
inline std::string shellQuoted(const std::string& text) {
#if defined(_WIN32)
    return "\"" + text + "\"";
#else
    return "'" + text + "'";
#endif
}

#if defined(_WIN32)
inline const std::string kNullDevice = "NUL";
#else
inline const std::string kNullDevice = "/dev/null";
#endif

// Runs command in the folder directory; the exit status of its last program, or -1 when that
// did not end normally (killed by a signal).
inline int runInDirectory(const std::string& directory, const std::string& command) {
#if defined(_WIN32)
    // cmd.exe drops the first and the last quote of the whole line: hence the outer pair.
    return std::system(("\"cd /d " + shellQuoted(directory) + " && " + command + "\"").c_str());
#else
    const int raw = std::system(("cd " + shellQuoted(directory) + " && " + command).c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
}
