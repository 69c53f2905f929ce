// The plug-in's entry points: the channel type descriptor and channel creation.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "channel/Aco_Kestrom.h"
#include "host/ChannelType.h"
#include "platform/WinApi.h"

// The only names the library exports: plain C names, found by the host by name.
#if defined(_WIN32)
#define KESTROM_ENTRY __declspec(dllexport)
#else
#define KESTROM_ENTRY __attribute__((visibility("default")))
#endif

namespace {

// {9ECED092-9506-469F-9B63-0C31F0241A8E}
constexpr GUID kKestromTypeGuid = {
    0x9ECED092, 0x9506, 0x469F, {0x9B, 0x63, 0x0C, 0x31, 0xF0, 0x24, 0x1A, 0x8E}};

constexpr std::size_t kHostFieldsOffset = 112;
// Two host fields that the descriptor sets; the host reads the rest as it left them (0).
constexpr std::size_t kTypeFlagsOffset = 120;
constexpr std::int32_t kTypeFlags = 7;
constexpr std::size_t kReservedWordOffset = 128;
constexpr std::int32_t kReservedWord = 0;

static_assert(sizeof(ChannelType) == 132, "the host reads a 132-byte descriptor");
static_assert(offsetof(ChannelType, name) == 0 && sizeof(ChannelType::name) == 80,
              "type name field");
static_assert(offsetof(ChannelType, typeGuid) == 80, "type GUID field");
static_assert(offsetof(ChannelType, baseGuid) == 96, "base GUID field");
static_assert(offsetof(ChannelType, hostFields) == kHostFieldsOffset, "host fields");
static_assert(kReservedWordOffset + sizeof(kReservedWord) <= sizeof(ChannelType),
              "host words lie inside the descriptor");
static_assert(sizeof(GUID) == 16, "GUIDs are 16 bytes");

void writeWord(ChannelType& descriptor, std::size_t offset, std::int32_t value) {
    std::memcpy(descriptor.hostFields + (offset - kHostFieldsOffset), &value, sizeof value);
}

}  // namespace

// Refilled in place on every call: the same address with the same bytes each time.
extern "C" KESTROM_ENTRY ChannelType* GetType() {
    static ChannelType descriptor;
    std::memset(descriptor.name, 0, sizeof descriptor.name);
    std::strncpy(descriptor.name, "Kestrom", sizeof descriptor.name - 1);
    descriptor.typeGuid = kKestromTypeGuid;
    descriptor.baseGuid = kKestromTypeGuid;
    writeWord(descriptor, kTypeFlagsOffset, kTypeFlags);
    writeWord(descriptor, kReservedWordOffset, kReservedWord);
    return &descriptor;
}

// The host owns the channel from here on and deletes it through the virtual destructor.
extern "C" KESTROM_ENTRY Vro_Channel* InitDLL() {
    return new Aco_Kestrom();
}

#if defined(_WIN32)
// The load entry, found by the C runtime under its C name. Worker threads come and go with
// every request; the library needs no notice of them.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}
#endif
