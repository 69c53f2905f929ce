// Loading the channel plug-in the way a host does: open the shared library by path, find
// its two C entry points, read the type descriptor, create channels.
#pragma once

#include <string>

#include "Scene.h"
#include "host/ChannelType.h"
#include "scenario/AllocatorKind.h"

namespace kestrom_sim {

class Plugin {
  public:
    // Opens the library at path. Throws InputError naming the path when it cannot be
    // loaded, lacks "GetType" or "InitDLL", or gives no type descriptor.
    explicit Plugin(const std::string& path);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const std::string& path() const { return path_; }
    // The type name from the descriptor, e.g. "Kestrom".
    const std::string& typeName() const { return typeName_; }
    // A new channel from InitDLL; throws InputError when it gives none.
    ChannelPtr createChannel();

    // Leaves the library loaded when this object goes: for leaving while a worker still
    // runs the library's code.
    void keepLoaded() { handle_ = nullptr; }

  private:
    using GetTypeFunction = ChannelType* (*)();
    using InitDLLFunction = Vro_Channel* (*)();

    std::string path_;
    void* handle_ = nullptr;
    InitDLLFunction initDLL_ = nullptr;
    std::string typeName_;
};

// The plug-in of a channel type, used without --plugin: libKestrom.so (Kestrom.dll on
// Windows) for the default allocator, libKestromOptimal.so (KestromOptimal.dll) for the
// optimal one; beside the executable when there is one (an installed tool), else the one
// built with the tool.
std::string pluginPathFor(AllocatorKind allocator);

}  // namespace kestrom_sim
