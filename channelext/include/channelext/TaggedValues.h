// Single settings as tagged items of a channel file: integers as a 4-byte block, least
// significant byte first; texts as their characters and a terminating zero byte.
#pragma once

#include <cstdint>
#include <string>

#include "host/VroFile.h"

// Writes tag, block size 4 and the four bytes of bits. False only when the saver refuses the tag;
// nothing is written then.
bool SaveTaggedWord(VroFileSaver& saver, const char* tag, std::uint32_t bits);

// Writes tag, block size length + 1 and the characters with their terminator. False only when
// the saver refuses the tag.
bool SaveTaggedText(VroFileSaver& saver, const char* tag, const std::string& text);

// Reads the current item when its tag is tag and its block has 4 bytes. Another tag: false and
// nothing consumed. Another block size: the item is skipped, false. bits is set only on true.
bool ReadTaggedWord(VroFileLoader& loader, char* const tag, std::uint32_t& bits);

// Reads the current item as a text when its tag is tag: the bytes up to the first zero byte, or
// the whole block when it has none (a block of size 0 is the empty text). Another tag: false and
// nothing consumed. text is set only on true.
bool ReadTaggedText(VroFileLoader& loader, char* const tag, std::string& text);
