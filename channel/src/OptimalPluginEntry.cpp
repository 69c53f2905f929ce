// The KestromOptimal plug-in's entry points: its own type name and GUID, its own channel.
#include "ChannelTypeDescriptor.h"
#include "channel/Aco_KestromOptimal.h"

namespace {

// {7D6D6F91-BC6B-4016-9342-3B414B8B96FA}
constexpr GUID kKestromOptimalTypeGuid = {
    0x7D6D6F91, 0xBC6B, 0x4016, {0x93, 0x42, 0x3B, 0x41, 0x4B, 0x8B, 0x96, 0xFA}};

}  // namespace

// Refilled in place on every call: the same address with the same bytes each time.
extern "C" KESTROM_ENTRY ChannelType* GetType() {
    static ChannelType descriptor;
    return fillChannelType(descriptor, "KestromOptimal", kKestromOptimalTypeGuid);
}

// The host owns the channel from here on and deletes it through the virtual destructor.
extern "C" KESTROM_ENTRY Vro_Channel* InitDLL() {
    return new Aco_KestromOptimal();
}
