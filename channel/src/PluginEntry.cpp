// The default plug-in's entry points: the channel type descriptor and channel creation.
#include "ChannelTypeDescriptor.h"
#include "channel/Aco_Kestrom.h"

namespace {

// {9ECED092-9506-469F-9B63-0C31F0241A8E}
constexpr GUID kKestromTypeGuid = {
    0x9ECED092, 0x9506, 0x469F, {0x9B, 0x63, 0x0C, 0x31, 0xF0, 0x24, 0x1A, 0x8E}};

}  // namespace

// Refilled in place on every call: the same address with the same bytes each time.
extern "C" KESTROM_ENTRY ChannelType* GetType() {
    static ChannelType descriptor;
    return fillChannelType(descriptor, "Kestrom", kKestromTypeGuid);
}

// The host owns the channel from here on and deletes it through the virtual destructor.
extern "C" KESTROM_ENTRY Vro_Channel* InitDLL() {
    return new Aco_Kestrom();
}
