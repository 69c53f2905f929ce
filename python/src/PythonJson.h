// Python values (dicts, lists, numbers, numpy arrays) as JSON documents, so that the module
// reads its input with the very parsers of the command line and reports the same problems.
#pragma once

#include <string>

#include <pybind11/pybind11.h>
#include <nlohmann/json.hpp>

namespace kestrom_python {

// How a float that is not finite is carried.
enum class NonFinite {
    number,  // kept as a number: the parsers reject it as "expected a finite number"
    text,    // "NaN", "Infinity", "-Infinity": the problem format's texts for such numbers
};

// Throws kestrom_sim::InputError naming `file` and the key of a value that has no JSON form;
// `key` names the value itself.
nlohmann::json toJson(pybind11::handle value, const std::string& file, NonFinite nonFinite,
                      const std::string& key = "");

// A keyword argument: a real number (int or float, not bool), or a whole number
// saturated to [low, high] so that the range is worded where it is checked. Anything else
// raises ValueError naming the keyword.
double numberArgument(pybind11::handle value, const char* name);
long long wholeArgument(pybind11::handle value, const char* name, long long low, long long high);

}  // namespace kestrom_python
