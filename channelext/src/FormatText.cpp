// The per-thread message buffer, FormatText and the debug reports.
#include "channelext/FormatText.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "host/EngineInterface.h"

namespace {

thread_local char messageBuffer[kMessageBufferSize];
thread_local std::string formattedText;

// Writes c at messageBuffer[at] when there is room for it and the terminator; returns the
// new end.
std::size_t appendToBuffer(std::size_t at, char c) {
    if (at + 1 < kMessageBufferSize) {
        messageBuffer[at++] = c;
    }
    messageBuffer[at] = '\0';
    return at;
}

std::size_t appendToBuffer(std::size_t at, const char* text) {
    for (; *text != '\0'; ++text) {
        at = appendToBuffer(at, *text);
    }
    messageBuffer[at] = '\0';
    return at;
}

}  // namespace

const char* FormatText(const char* format, ...) {
    messageBuffer[0] = '\0';
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        const int written = std::vsnprintf(messageBuffer, kMessageBufferSize, format, args);
        va_end(args);
        if (written < 0) {
            messageBuffer[0] = '\0';
        }
    }
    formattedText.assign(messageBuffer);
    return formattedText.c_str();
}

void ShowDebugText(const char* text) {
    if (globalEngine != nullptr && text != nullptr) {
        globalEngine->ShowDebugMessage(text);
    }
}

void ReportInvalidLinkIndex(unsigned int index) {
    ShowDebugText(FormatText("InvalidlLinkIndex.Link[%d]", static_cast<int>(index)));
}

void ReportFailedCheck(const char* operation, const char* check) {
    std::size_t end = appendToBuffer(0, operation != nullptr ? operation : "");
    end = appendToBuffer(end, "().");
    // Shown as a printf pass prints the text after doubling its '%' and '\': '%' once, '\'
    // twice.
    for (const char* c = check != nullptr ? check : ""; *c != '\0'; ++c) {
        if (*c == '\\') {
            end = appendToBuffer(end, '\\');
        }
        end = appendToBuffer(end, *c);
    }
    ShowDebugText(messageBuffer);
}

void ComposeLinkTypeMismatch(const char* operation, unsigned int index) {
    std::snprintf(messageBuffer, kMessageBufferSize, "%s().ChannelBaseGuidMatch().Failed.Link[%d]",
                  operation != nullptr ? operation : "", static_cast<int>(index));
}
