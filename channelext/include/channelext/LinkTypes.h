// The link types a channel can declare: the GUID that verification compares with a child's base
// GUID, and the type text shown by the host.
#pragma once

#include "host/HostTypes.h"

namespace LinkTypes {

// {11111111-1111-1111-1111-111111111111}: any channel may be connected.
inline constexpr GUID kGenericGuid = {
    0x11111111, 0x1111, 0x1111, {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11}};
// {BE69CCC4-CFC1-4362-AC81-767D199BBFC3}
inline constexpr GUID kValueGuid = {
    0xBE69CCC4, 0xCFC1, 0x4362, {0xAC, 0x81, 0x76, 0x7D, 0x19, 0x9B, 0xBF, 0xC3}};
// {9D045960-EAC2-4C40-9BBF-10F32F7FA305}
inline constexpr GUID kVectorGuid = {
    0x9D045960, 0xEAC2, 0x4C40, {0x9B, 0xBF, 0x10, 0xF3, 0x2F, 0x7F, 0xA3, 0x05}};
// {6E6FB247-4627-4FBE-8973-48344F23881E}
inline constexpr GUID kTextGuid = {
    0x6E6FB247, 0x4627, 0x4FBE, {0x89, 0x73, 0x48, 0x34, 0x4F, 0x23, 0x88, 0x1E}};
// {2F605354-314D-4775-86E4-1F733550B227}
inline constexpr GUID kMatrixGuid = {
    0x2F605354, 0x314D, 0x4775, {0x86, 0xE4, 0x1F, 0x73, 0x35, 0x50, 0xB2, 0x27}};

inline constexpr const char* kGenericText = "all types are accepted";
inline constexpr const char* kValueText = "Value";
inline constexpr const char* kVectorText = "Value Vector";
inline constexpr const char* kTextText = "Text";
inline constexpr const char* kMatrixText = "Matrix";

}  // namespace LinkTypes
