// GUID comparison and the constructors of the host's type and link records.
#include "host/ChannelType.h"

#include <cstring>

#include "host/ChildChannels.h"

#if !defined(_WIN32)
bool operator==(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
#endif

ChannelType::ChannelType() : name(), typeGuid(), baseGuid(), hostFields() {}

ChildCreation::ChildCreation()
    : channelType(),
      slotIndex(-1),
      hostByte0(0),
      hostByte1(0),
      linkName(),
      padding(),
      hostGuid(),
      hostWord(0),
      linkDirection(1) {
    channelType.typeGuid = VroGuids::Any;
    channelType.baseGuid = VroGuids::Any;
}
