// The two log files: every entry is appended by opening, writing and closing the file, so
// no log stays open between entries.
#include "Logs.h"

#include <mutex>

#include "platform/WinApi.h"

namespace {

// Workers of several channels may shut down at the same moment and append to the same log;
// one entry at a time keeps each entry whole however long its text is.
std::mutex logMutex;

}  // namespace

namespace channel_logs {

int appendLogEntry(const char* path, const char* text) {
    if (path == nullptr || text == nullptr) {
        return 1;
    }
    const std::lock_guard<std::mutex> lock(logMutex);
    FILE* file = std::fopen(path, "a");
    if (file == nullptr) {
        return 1;
    }
    writeTimeStamp(file);
    std::fputs(text, file);
    std::fclose(file);
    return 0;
}

int writeTimeStamp(FILE* file) {
    if (file == nullptr) {
        return 1;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[127];
    std::snprintf(stamp, sizeof stamp, "%02hu/%02hu/%02hu %02hu:%02hu:%02hu > ",
                  static_cast<unsigned short>(now.wYear % 100),
                  static_cast<unsigned short>(now.wMonth), static_cast<unsigned short>(now.wDay),
                  static_cast<unsigned short>(now.wHour), static_cast<unsigned short>(now.wMinute),
                  static_cast<unsigned short>(now.wSecond));
    std::fputs(stamp, file);
    return 0;
}

}  // namespace channel_logs
