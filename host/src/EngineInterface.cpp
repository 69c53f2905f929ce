// The stand-in engine: debug messages are collected, or passed to a sink, under one lock.
#include "host/EngineInterface.h"

#include <mutex>
#include <utility>

namespace {

struct DebugMessages {
    std::mutex mutex;
    std::vector<std::string> collected;
    std::function<void(const char*)> sink;
};

// Never destroyed, so that a plug-in may still report from its own static destructors.
DebugMessages& debugMessages() {
    static DebugMessages* messages = new DebugMessages;
    return *messages;
}

EngineInterface theEngine;

}  // namespace

EngineInterface* globalEngine = &theEngine;

void DebugMessageFunctor::operator()(const char* text) const {
    if (text == nullptr) {
        return;
    }
    DebugMessages& messages = debugMessages();
    std::lock_guard<std::mutex> lock(messages.mutex);
    // Showing a message must never throw into the plug-in: a message that cannot be
    // stored is lost.
    try {
        if (messages.sink) {
            messages.sink(text);
        } else if (messages.collected.size() < kMaxCollectedDebugMessages) {
            messages.collected.emplace_back(text);
        }
    } catch (...) {
    }
}

std::vector<std::string> globalEngineTakeDebugMessages() {
    DebugMessages& messages = debugMessages();
    std::lock_guard<std::mutex> lock(messages.mutex);
    return std::exchange(messages.collected, {});
}

void globalEngineSetDebugSink(std::function<void(const char*)> sink) {
    DebugMessages& messages = debugMessages();
    std::lock_guard<std::mutex> lock(messages.mutex);
    messages.sink = std::move(sink);
}
