// The host's channel type record as a plug-in fills it.
#include "ChannelTypeDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::size_t kHostFieldsOffset = 112;
// Two host fields that the descriptor sets; the host reads the rest as it left them (0).
constexpr std::size_t kTypeFlagsOffset = 120;
constexpr std::int32_t kTypeFlags = 7;
constexpr std::size_t kReservedWordOffset = 128;
constexpr std::int32_t kReservedWord = 0;

static_assert(sizeof(ChannelType) == 132, "the host reads a 132-byte descriptor");
static_assert(offsetof(ChannelType, name) == 0 && sizeof(ChannelType::name) == 80,
              "type name field");
static_assert(offsetof(ChannelType, typeGuid) == 80, "type GUID field");
static_assert(offsetof(ChannelType, baseGuid) == 96, "base GUID field");
static_assert(offsetof(ChannelType, hostFields) == kHostFieldsOffset, "host fields");
static_assert(kReservedWordOffset + sizeof(kReservedWord) <= sizeof(ChannelType),
              "host words lie inside the descriptor");
static_assert(sizeof(GUID) == 16, "GUIDs are 16 bytes");

void writeWord(ChannelType& descriptor, std::size_t offset, std::int32_t value) {
    std::memcpy(descriptor.hostFields + (offset - kHostFieldsOffset), &value, sizeof value);
}

}  // namespace

ChannelType* fillChannelType(ChannelType& descriptor, const char* name, const GUID& guid) {
    std::memset(descriptor.name, 0, sizeof descriptor.name);
    std::strncpy(descriptor.name, name, sizeof descriptor.name - 1);
    descriptor.typeGuid = guid;
    descriptor.baseGuid = guid;
    writeWord(descriptor, kTypeFlagsOffset, kTypeFlags);
    writeWord(descriptor, kReservedWordOffset, kReservedWord);
    return &descriptor;
}
