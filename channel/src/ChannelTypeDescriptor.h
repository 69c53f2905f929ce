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

// A plug-in's two entry points: GetType refills one descriptor in place on every call (the
// same address with the same bytes each time); InitDLL hands the host a new Channel, which
// the host owns from then on and deletes through the virtual destructor. The GUID's
// initialiser comes last, since its braces hold commas.
#define KESTROM_PLUGIN_ENTRY_POINTS(Channel, typeName, ...)      \
    extern "C" KESTROM_ENTRY ChannelType* GetType() {            \
        static constexpr GUID kTypeGuid = __VA_ARGS__;           \
        static ChannelType descriptor;                           \
        return fillChannelType(descriptor, typeName, kTypeGuid); \
    }                                                            \
    extern "C" KESTROM_ENTRY Vro_Channel* InitDLL() {            \
        return new Channel();                                    \
    }
