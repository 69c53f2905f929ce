// The engine object through which plug-ins reach the host, and the stand-in's collection
// of the debug messages they show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/HostTypes.h"

// Shows a debug message; the text is only read during the call. Without a sink (see
// globalEngineSetDebugSink) the message is collected. Safe to call from several threads.
struct HOST_API DebugMessageFunctor {
    void operator()(const char* text) const;
};

class HOST_API EngineInterface {
  public:
    std::uint32_t hostFields[3] = {0, 0, 0};
    DebugMessageFunctor ShowDebugMessage;
};

static_assert(offsetof(EngineInterface, ShowDebugMessage) == 12,
              "plug-ins find ShowDebugMessage 12 bytes into the engine");

// Always points to a valid engine.
extern HOST_API EngineInterface* globalEngine;

// Returns the collected messages in the order shown and clears the collection. At most
// kMaxCollectedDebugMessages are kept; later ones are dropped until the next take.
HOST_API std::vector<std::string> globalEngineTakeDebugMessages();
// Sends every later message to sink instead of collecting it; nullptr restores collecting.
// The sink is called under the engine's lock, one message at a time, and must not show a
// debug message itself.
HOST_API void globalEngineSetDebugSink(std::function<void(const char*)> sink);

constexpr std::size_t kMaxCollectedDebugMessages = 100000;
