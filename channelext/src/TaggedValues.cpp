// Tagged integer and text items through the host's file saver and loader.
#include "channelext/TaggedValues.h"

#include <algorithm>
#include <new>
#include <vector>

bool SaveTaggedWord(VroFileSaver& saver, const char* tag, std::uint32_t bits) {
    if (saver.SaveTag(tag) == 0) {
        return false;
    }
    // Shifting, not copying the value's memory, keeps the file the same on any byte order.
    const unsigned char bytes[4] = {static_cast<unsigned char>(bits & 0xFFu),
                                    static_cast<unsigned char>((bits >> 8) & 0xFFu),
                                    static_cast<unsigned char>((bits >> 16) & 0xFFu),
                                    static_cast<unsigned char>((bits >> 24) & 0xFFu)};
    saver.SaveBlockSize(4);
    saver.SaveDataToFile(bytes, 4);
    return true;
}

bool SaveTaggedText(VroFileSaver& saver, const char* tag, const std::string& text) {
    if (saver.SaveTag(tag) == 0) {
        return false;
    }
    // c_str() ends in the terminator, which is part of the block.
    const unsigned long bytes = static_cast<unsigned long>(text.size()) + 1;
    saver.SaveBlockSize(bytes);
    saver.SaveDataToFile(text.c_str(), bytes);
    return true;
}

bool ReadTaggedWord(VroFileLoader& loader, char* const tag, std::uint32_t& bits) {
    if (!loader.GetInfoIfTag(tag)) {
        return false;
    }
    if (loader.GetSizeDataBlock(false) != 4) {
        loader.SkipCurrentTag();
        return false;
    }
    unsigned char bytes[4] = {0, 0, 0, 0};
    loader.CopyTagDataToPointer(bytes);
    if (loader.Failed()) {
        return false;
    }
    bits = static_cast<std::uint32_t>(bytes[0]) + 256u * bytes[1] + 65536u * bytes[2] +
           16777216u * bytes[3];
    return true;
}

bool ReadTaggedText(VroFileLoader& loader, char* const tag, std::string& text) {
    if (!loader.GetInfoIfTag(tag)) {
        return false;
    }
    const unsigned long size = loader.GetSizeDataBlock(false);
    std::vector<char> block;
    // A size no buffer can hold comes from a corrupt file: pass the item over.
    if (size >= block.max_size()) {
        loader.SkipCurrentTag();
        return false;
    }
    try {
        // One spare byte so that even a block of size 0 has a place to be copied to.
        block.resize(static_cast<std::size_t>(size) + 1, '\0');
    } catch (const std::bad_alloc&) {
        loader.SkipCurrentTag();
        return false;
    }
    loader.CopyTagDataToPointer(block.data());
    if (loader.Failed()) {
        return false;
    }
    const auto blockEnd = block.begin() + static_cast<std::ptrdiff_t>(size);
    text.assign(block.begin(), std::find(block.begin(), blockEnd, '\0'));
    return true;
}
