// The channel type descriptor that a plug-in's GetType returns, and the export mark of the
// two entry points: every plug-in fills the same host record, with its own name and GUID.
#pragma once

#include "host/ChannelType.h"

// The only names a plug-in exports: plain C names, found by the host by name.
#if defined(_WIN32)
#define KESTROM_ENTRY __declspec(dllexport)
#else
#define KESTROM_ENTRY __attribute__((visibility("default")))
#endif

// Refills `descriptor` in place: the name (at most 79 characters and a terminator, the rest of
// its field zero), `guid` as both the type and the base GUID, and the two host words the
// descriptor sets.
ChannelType* fillChannelType(ChannelType& descriptor, const char* name, const GUID& guid);
