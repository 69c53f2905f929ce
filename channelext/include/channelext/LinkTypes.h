// The link types a channel can declare: the GUID that verification compares with a child's base
// GUID, and the type text shown by the host.
#pragma once

#include "host/ChildChannels.h"

namespace LinkTypes {

// The GUIDs are the ones the host's own child channels report.
inline constexpr GUID kGenericGuid = VroGuids::Any;
inline constexpr GUID kValueGuid = VroGuids::Value;
inline constexpr GUID kVectorGuid = VroGuids::ValueVector;
inline constexpr GUID kTextGuid = VroGuids::Text;
inline constexpr GUID kMatrixGuid = VroGuids::Matrix;

inline constexpr const char* kGenericText = "all types are accepted";
inline constexpr const char* kValueText = "Value";
inline constexpr const char* kVectorText = "Value Vector";
inline constexpr const char* kTextText = "Text";
inline constexpr const char* kMatrixText = "Matrix";

}  // namespace LinkTypes
