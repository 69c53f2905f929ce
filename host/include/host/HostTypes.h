// Value types and the export macro shared by the host engine and its plug-ins.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#if defined(KESTROM_HOST_BUILD)
#define HOST_API __declspec(dllexport)
#else
#define HOST_API __declspec(dllimport)
#endif
#else
#define HOST_API __attribute__((visibility("default")))
#endif

#if defined(_WIN32)
// The system's GUID, with its own operator==.
#include <guiddef.h>
#else
// 16 bytes in the Windows layout: the first three groups are stored little-endian
// on the machines the host runs on.
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

// Byte comparison over all 16 bytes.
HOST_API bool operator==(const GUID& a, const GUID& b);
inline bool operator!=(const GUID& a, const GUID& b) {
    return !(a == b);
}
#endif

static_assert(sizeof(GUID) == 16, "GUID must be 16 bytes");

struct D3DXVECTOR3 {
    float x, y, z;
};

// Sixteen floats in row order.
struct D3DXMATRIX {
    float m[16];
};

namespace TolvikMathLib {
struct Vec2 {
    float x, y;
};
struct Vec3 {
    float x, y, z;
};
}  // namespace TolvikMathLib

static_assert(sizeof(D3DXVECTOR3) == 12, "D3DXVECTOR3 is three floats");
static_assert(sizeof(D3DXMATRIX) == 64, "D3DXMATRIX is sixteen floats");
static_assert(sizeof(TolvikMathLib::Vec2) == 8, "Vec2 is two floats");
static_assert(sizeof(TolvikMathLib::Vec3) == 12, "Vec3 has the layout of D3DXVECTOR3");
