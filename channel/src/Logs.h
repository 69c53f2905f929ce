// The two log files of every channel type: each entry is a local-time stamp and a text,
// appended by opening, writing and closing the file.
#pragma once

#include <cstdio>

namespace channel_logs {

// 1 without writing when path or text is null or the file cannot be opened, else 0.
int appendLogEntry(const char* path, const char* text);
// Writes "yy/mm/dd hh:mm:ss > " in local time; 1 when file is null, else 0.
int writeTimeStamp(FILE* file);

}  // namespace channel_logs
