// The optimal plug-in's entry points: the KestromOptimal channel type, with its own GUID.
#include "ChannelTypeDescriptor.h"
#include "channel/Aco_KestromOptimal.h"

KESTROM_PLUGIN_ENTRY_POINTS(
    Aco_KestromOptimal, "KestromOptimal",
    {0x7D6D6F91, 0xBC6B, 0x4016, {0x93, 0x42, 0x3B, 0x41, 0x4B, 0x8B, 0x96, 0xFA}})
