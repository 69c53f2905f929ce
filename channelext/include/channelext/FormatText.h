// Message formatting and the debug reports of the link framework.
//
// One message buffer of kMessageBufferSize characters per thread: a channel's worker and the
// host's thread, or the workers of two channels, may format and report at the same moment.
#pragma once

#include <cstddef>

inline constexpr std::size_t kMessageBufferSize = 20480;

// printf-style formatting into the calling thread's message buffer (longer results are cut to
// kMessageBufferSize - 1 characters). The returned text stays valid until the same thread calls
// FormatText again. A null format gives the empty text.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
const char*
FormatText(const char* format, ...);

// Shows "InvalidlLinkIndex.Link[<index>]", the index printed as a signed decimal.
void ReportInvalidLinkIndex(unsigned int index);

// Shows operation + "()." + check, with every '\' of check shown doubled (the fixed form of a
// failed argument check). The text is composed in the message buffer, not in the string that
// FormatText returns.
void ReportFailedCheck(const char* operation, const char* check);

// Composes operation + "().ChannelBaseGuidMatch().Failed.Link[<index>]" in the message buffer
// without showing it: a child of another type is an ordinary state of a scene being wired.
void ComposeLinkTypeMismatch(const char* operation, unsigned int index);

// Hands text to the host's debug-message facility.
void ShowDebugText(const char* text);
