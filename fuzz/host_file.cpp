// The host's channel files, from bytes to loaded channels: the tagged-file loader walked item
// by item, the base channel's and the plug-in's LoadChannel, and the tagged value readers.
// A file the loader accepts is saved again item by item and must load back the same.
//
// Input: one control byte, then the file. Control bit 0 replaces the file's last four bytes
// with the CRC of the bytes before them, so that the fuzzer gets past the checksum and into
// the items; bit 1 joins the loaded channels to a group.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "channelext/TaggedValues.h"
#include "host/VroFile.h"
#include "host/Vro_Channel.h"
#include "host/Vro_ChannelGroup.h"

extern "C" Vro_Channel* InitDLL();

namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

struct Item {
    std::string tag;
    std::vector<char> block;
};

// Tags the readers below ask for: the base channel's own and a few a plug-in might use.
char kNameTag[] = "VroChannelName";
char kWordTag[] = "Word";
char kTextTag[] = "Text";

// Every item of an accepted file, walked by asking for its tag among the ones that the fuzzer
// can have given; blocks are copied into buffers of exactly their size, so a copy that
// writes past the block is an ASan report.
std::vector<Item> walk(VroFileLoader& loader, const std::vector<std::string>& tags) {
    std::vector<Item> items;
    for (std::size_t step = 0; !loader.AtEnd(); ++step) {
        if (loader.Failed()) {
            kestrom_fuzz::fail("a failed loader still offers items");
        }
        Item item;
        for (const std::string& candidate : tags) {
            std::vector<char> name(candidate.begin(), candidate.end());
            name.push_back('\0');
            if (loader.GetInfoIfTag(name.data())) {
                item.tag = candidate;
                break;
            }
        }
        const unsigned long size = loader.GetSizeDataBlock(false);
        item.block.resize(size);
        if (size > 0) {
            loader.CopyTagDataToPointer(item.block.data());
        } else if (!loader.SkipCurrentTag()) {
            kestrom_fuzz::fail("the loader neither ends nor moves past an item");
        }
        items.push_back(std::move(item));
    }
    return items;
}

// The tags of a file's items as the format lays them out, read straight from the bytes of
// a file that the loader accepted.
std::vector<std::string> tagsOf(const std::uint8_t* file, std::size_t size) {
    std::vector<std::string> tags;
    std::size_t at = 8;
    while (at + 4 <= size) {
        std::uint32_t length = 0;
        std::memcpy(&length, file + at, 4);
        if (length == 0 || at + 4 + length + 4 > size) {
            break;
        }
        tags.emplace_back(reinterpret_cast<const char*>(file + at + 4), length);
        std::uint32_t block = 0;
        std::memcpy(&block, file + at + 4 + length, 4);
        at += 8 + length + block;
    }
    return tags;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kestrom_fuzz::ScratchFile file(".vro");
    static kestrom_fuzz::ScratchFile copy(".vro");
    if (size == 0) {
        return 0;
    }
    const std::uint8_t control = data[0];
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if ((control & 1u) != 0 && bytes.size() >= 4) {
        const std::uint32_t crc = crc32(bytes.data(), bytes.size() - 4);
        for (int i = 0; i < 4; ++i) {
            bytes[bytes.size() - 4 + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(crc >> (8 * i));
        }
    }
    const std::string& path = file.write(bytes.data(), bytes.size());
    Vro_ChannelGroup group("Fuzz group");
    Vro_ChannelGroup* joined = (control & 2u) != 0 ? &group : nullptr;

    std::vector<Item> items;
    {
        VroFileLoader loader(path.c_str());
        if (loader.Failed() && !loader.AtEnd()) {
            kestrom_fuzz::fail("a failed loader is not at its end");
        }
        if (!loader.Failed()) {
            items = walk(loader, tagsOf(bytes.data(), bytes.size()));
        }
    }
    {
        VroFileLoader loader(path.c_str());
        Vro_Channel base;
        base.LoadChannel(loader, joined);
    }
    {
        VroFileLoader loader(path.c_str());
        std::unique_ptr<Vro_Channel> channel(InitDLL());
        // The plug-in's channel loads what the base stores, then the rest is the host's.
        while (channel->LoadChannel(loader, joined) && !loader.AtEnd()) {
        }
    }
    {
        VroFileLoader loader(path.c_str());
        std::uint32_t bits = 0;
        std::string text;
        while (!loader.AtEnd()) {
            const bool read = ReadTaggedWord(loader, kWordTag, bits) ||
                              ReadTaggedText(loader, kTextTag, text) ||
                              ReadTaggedText(loader, kNameTag, text);
            if (!read && !loader.AtEnd() && !loader.SkipCurrentTag()) {
                kestrom_fuzz::fail("the loader neither ends nor moves past an item");
            }
        }
    }

    // An accepted file, saved again item by item, loads back to the same items.
    if (!items.empty()) {
        {
            VroFileSaver saver(copy.path().c_str());
            for (const Item& item : items) {
                if (item.tag.empty() || item.tag.find('\0') != std::string::npos) {
                    continue;
                }
                saver.SaveTag(item.tag.c_str());
                saver.SaveBlockSize(static_cast<unsigned long>(item.block.size()));
                saver.SaveDataToFile(item.block.data(),
                                     static_cast<unsigned long>(item.block.size()));
            }
            if (!saver.Close()) {
                kestrom_fuzz::fail("saving the items of an accepted file failed");
            }
        }
        VroFileLoader again(copy.path().c_str());
        if (again.Failed()) {
            kestrom_fuzz::fail("a file saved from accepted items does not load");
        }
        std::vector<std::string> tags;
        for (const Item& item : items) {
            tags.push_back(item.tag);
        }
        const std::vector<Item> reloaded = walk(again, tags);
        std::size_t k = 0;
        for (const Item& item : items) {
            if (item.tag.empty() || item.tag.find('\0') != std::string::npos) {
                continue;
            }
            if (k >= reloaded.size() || reloaded[k].tag != item.tag ||
                reloaded[k].block != item.block) {
                kestrom_fuzz::fail("an item does not load back as it was saved");
            }
            ++k;
        }
    }
    return 0;
}
