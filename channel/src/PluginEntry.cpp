// The default plug-in's entry points: the Kestrom channel type.
#include "ChannelTypeDescriptor.h"
#include "channel/Aco_Kestrom.h"

KESTROM_PLUGIN_ENTRY_POINTS(
    Aco_Kestrom, "Kestrom",
    {0x9ECED092, 0x9506, 0x469F, {0x9B, 0x63, 0x0C, 0x31, 0xF0, 0x24, 0x1A, 0x8E}})
