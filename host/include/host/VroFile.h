// The host's channel files: a sequence of tagged items, each a tag, a block size and a
// data block. The byte format is described in docs/host-file-format.md.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/HostTypes.h"

// Writes one file. Each item is written as SaveTag, SaveBlockSize, then SaveDataToFile
// calls that add up to the block size. A call out of that order, a tag that is empty or
// too long, or a failed write refuses the call (result 0) and puts the saver in a failed
// state in which every later call is refused; Close then reports false and the file reads
// back as corrupt.
class HOST_API VroFileSaver {
  public:
    explicit VroFileSaver(const char* path);
    ~VroFileSaver();
    VroFileSaver(const VroFileSaver&) = delete;
    VroFileSaver& operator=(const VroFileSaver&) = delete;

    bool IsOpen() const;
    // Nonzero on success. A tag is 1 to kMaxTagLength characters.
    int SaveTag(const char* tag);
    // Nonzero on success; at most 0xFFFFFFFF bytes.
    int SaveBlockSize(unsigned long bytes);
    // Nonzero on success; null data is accepted only with 0 bytes.
    int SaveDataToFile(const void* data, unsigned long bytes);
    // Ends the file; true when every item was complete and everything was written.
    // Called by the destructor when not called before.
    bool Close();

    static constexpr std::size_t kMaxTagLength = 1024;

  private:
    enum class State { ExpectTag, ExpectSize, ExpectData, Failed, Closed };

    bool Write(const void* data, std::size_t bytes);
    void Fail();

    std::FILE* file_ = nullptr;
    State state_ = State::Failed;
    std::uint64_t remaining_ = 0;
    std::uint32_t crc_ = 0;
};

// Reads a whole file at construction and checks it; a missing, truncated or corrupt file
// leaves the loader without items and Failed() true. Reading never goes past a block, and
// no allocation is larger than the file itself.
class HOST_API VroFileLoader {
  public:
    explicit VroFileLoader(const char* path);
    VroFileLoader(const VroFileLoader&) = delete;
    VroFileLoader& operator=(const VroFileLoader&) = delete;

    // True when the file was opened and read (it may still be corrupt: see Failed).
    bool IsOpen() const;
    // True when there is a current item and its tag equals tag.
    bool GetInfoIfTag(char* const tag);
    // The block size of the current item, 0 when there is none. The flag is not used.
    unsigned long GetSizeDataBlock(bool flag);
    // Copies the current item's whole block to dest and moves to the next item. Does
    // nothing when dest is null or there is no current item.
    void CopyTagDataToPointer(void* dest);
    // Moves past the current item; false when there is none.
    bool SkipCurrentTag();
    // True when no item is left to read (at the end of the file, or after a failure).
    bool AtEnd() const;
    // True when the file could not be read or is truncated or corrupt.
    bool Failed() const;

    // Files larger than this are refused as corrupt.
    static constexpr std::size_t kMaxFileBytes = std::size_t{1} << 28;

  private:
    struct Item {
        std::size_t tagOffset;
        std::size_t tagLength;
        std::size_t dataOffset;
        std::size_t dataLength;
    };

    bool Parse();

    std::vector<unsigned char> bytes_;
    std::vector<Item> items_;
    std::size_t current_ = 0;
    bool open_ = false;
    bool failed_ = true;
};
