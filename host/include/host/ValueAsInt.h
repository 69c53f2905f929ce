// How an integer is read from a Value channel, whose value is one 32-bit float: truncated
// toward zero. The plug-in's link accessors and the tools that predict what it reads share it.
#pragma once

// A float whose truncation toward zero is an int: not NaN and within the int range.
inline bool truncatesToInt(float value) {
    return value >= -2147483648.0f && value < 2147483648.0f;
}

// The int read from a Value channel holding value; def when value has none.
inline int valueAsInt(float value, int def) {
    return truncatesToInt(value) ? static_cast<int>(value) : def;
}
