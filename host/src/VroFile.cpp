// Channel files: the saver writes items as they come, the loader reads and checks a whole
// file before it hands out any item. Byte format: docs/host-file-format.md.
#include "host/VroFile.h"

#include <cstring>

namespace {

const unsigned char kMagic[4] = {'K', 'V', 'R', 'O'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderBytes = 8;

// CRC-32 as in zip and PNG (reflected polynomial 0xEDB88320), kept un-inverted while
// running: start from 0xFFFFFFFF and invert the final value.
std::uint32_t crcUpdate(std::uint32_t crc, const void* data, std::size_t bytes) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < bytes; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return crc;
}

void putU32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::uint32_t getU32(const unsigned char* in) {
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
           (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

}  // namespace

VroFileSaver::VroFileSaver(const char* path) {
    if (path == nullptr) {
        return;
    }
    file_ = std::fopen(path, "wb");
    if (file_ == nullptr) {
        return;
    }
    crc_ = 0xFFFFFFFFu;
    state_ = State::ExpectTag;
    unsigned char header[kHeaderBytes];
    std::memcpy(header, kMagic, 4);
    putU32(header + 4, kVersion);
    Write(header, sizeof(header));
}

VroFileSaver::~VroFileSaver() {
    Close();
}

bool VroFileSaver::IsOpen() const {
    return file_ != nullptr;
}

int VroFileSaver::SaveTag(const char* tag) {
    if (state_ != State::ExpectTag) {
        Fail();
        return 0;
    }
    // A refused tag writes nothing, so the file stays whole and later items can follow.
    if (tag == nullptr) {
        return 0;
    }
    const std::size_t length = std::strlen(tag);
    if (length == 0 || length > kMaxTagLength) {
        return 0;
    }
    unsigned char prefix[4];
    putU32(prefix, static_cast<std::uint32_t>(length));
    if (!Write(prefix, 4) || !Write(tag, length)) {
        return 0;
    }
    state_ = State::ExpectSize;
    return 1;
}

int VroFileSaver::SaveBlockSize(unsigned long bytes) {
    if (state_ != State::ExpectSize || bytes > 0xFFFFFFFFul) {
        Fail();
        return 0;
    }
    unsigned char size[4];
    putU32(size, static_cast<std::uint32_t>(bytes));
    if (!Write(size, 4)) {
        return 0;
    }
    remaining_ = bytes;
    state_ = bytes == 0 ? State::ExpectTag : State::ExpectData;
    return 1;
}

int VroFileSaver::SaveDataToFile(const void* data, unsigned long bytes) {
    if (bytes == 0) {
        // Nothing to write, which fits between items as well as inside a block.
        return (state_ == State::ExpectTag || state_ == State::ExpectData) ? 1 : 0;
    }
    if (state_ != State::ExpectData || data == nullptr || bytes > remaining_) {
        Fail();
        return 0;
    }
    if (!Write(data, bytes)) {
        return 0;
    }
    remaining_ -= bytes;
    if (remaining_ == 0) {
        state_ = State::ExpectTag;
    }
    return 1;
}

bool VroFileSaver::Close() {
    if (file_ == nullptr) {
        return false;
    }
    // Without its end record a file reads back as truncated, which is what an unfinished
    // item or a failed write must give.
    bool ok = state_ == State::ExpectTag;
    if (ok) {
        unsigned char end[4];
        putU32(end, 0);
        ok = Write(end, 4);
    }
    if (ok) {
        unsigned char crc[4];
        putU32(crc, crc_ ^ 0xFFFFFFFFu);
        ok = std::fwrite(crc, 1, 4, file_) == 4;
    }
    ok = (std::fclose(file_) == 0) && ok;
    file_ = nullptr;
    state_ = State::Closed;
    return ok;
}

bool VroFileSaver::Write(const void* data, std::size_t bytes) {
    if (std::fwrite(data, 1, bytes, file_) != bytes) {
        Fail();
        return false;
    }
    crc_ = crcUpdate(crc_, data, bytes);
    return true;
}

void VroFileSaver::Fail() {
    if (state_ != State::Closed) {
        state_ = State::Failed;
    }
}

VroFileLoader::VroFileLoader(const char* path) {
    if (path == nullptr) {
        return;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return;
    }
    // Read in chunks, so that memory follows the bytes really present.
    unsigned char chunk[65536];
    bool tooLarge = false;
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof(chunk), file);
        if (got == 0) {
            break;
        }
        if (bytes_.size() + got > kMaxFileBytes) {
            tooLarge = true;
            break;
        }
        bytes_.insert(bytes_.end(), chunk, chunk + got);
    }
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    open_ = !readError;
    failed_ = readError || tooLarge || !Parse();
    if (failed_) {
        items_.clear();
        bytes_.clear();
    }
}

bool VroFileLoader::Parse() {
    const std::size_t size = bytes_.size();
    if (size < kHeaderBytes || std::memcmp(bytes_.data(), kMagic, 4) != 0 ||
        getU32(bytes_.data() + 4) != kVersion) {
        return false;
    }
    std::size_t pos = kHeaderBytes;
    for (;;) {
        // Every length is checked against the bytes left before it is used.
        if (size - pos < 4) {
            return false;
        }
        const std::size_t tagLength = getU32(bytes_.data() + pos);
        pos += 4;
        if (tagLength == 0) {
            if (size - pos != 4) {
                return false;
            }
            const std::uint32_t crc = crcUpdate(0xFFFFFFFFu, bytes_.data(), pos) ^ 0xFFFFFFFFu;
            return crc == getU32(bytes_.data() + pos);
        }
        if (tagLength > VroFileSaver::kMaxTagLength || size - pos < tagLength) {
            return false;
        }
        const std::size_t tagOffset = pos;
        if (std::memchr(bytes_.data() + tagOffset, 0, tagLength) != nullptr) {
            return false;
        }
        pos += tagLength;
        if (size - pos < 4) {
            return false;
        }
        const std::size_t dataLength = getU32(bytes_.data() + pos);
        pos += 4;
        if (size - pos < dataLength) {
            return false;
        }
        items_.push_back({tagOffset, tagLength, pos, dataLength});
        pos += dataLength;
    }
}

bool VroFileLoader::IsOpen() const {
    return open_;
}

bool VroFileLoader::GetInfoIfTag(char* const tag) {
    if (tag == nullptr || AtEnd()) {
        return false;
    }
    const Item& item = items_[current_];
    return std::strlen(tag) == item.tagLength &&
           std::memcmp(tag, bytes_.data() + item.tagOffset, item.tagLength) == 0;
}

unsigned long VroFileLoader::GetSizeDataBlock(bool) {
    return AtEnd() ? 0 : static_cast<unsigned long>(items_[current_].dataLength);
}

void VroFileLoader::CopyTagDataToPointer(void* dest) {
    if (dest == nullptr || AtEnd()) {
        return;
    }
    const Item& item = items_[current_];
    if (item.dataLength > 0) {
        std::memcpy(dest, bytes_.data() + item.dataOffset, item.dataLength);
    }
    ++current_;
}

bool VroFileLoader::SkipCurrentTag() {
    if (AtEnd()) {
        return false;
    }
    ++current_;
    return true;
}

bool VroFileLoader::AtEnd() const {
    return current_ >= items_.size();
}

bool VroFileLoader::Failed() const {
    return failed_;
}
