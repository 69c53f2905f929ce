// Reading JSON input files with one clear message per problem: the file, the key and what
// is wrong ("scenario.json: rows[2].maxForce: expected a number, got a string").
#pragma once

#include <cstddef>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace kestrom_sim {

// "FILE: KEY: PROBLEM", or "FILE: PROBLEM" when key is empty: how the tool names a problem
// with an input, in errors and in warnings alike.
std::string inputMessage(const std::string& file, const std::string& key,
                         const std::string& problem);

// A problem with an input of the tool. what() is "FILE: KEY: PROBLEM", or "FILE: PROBLEM"
// when no key is concerned; the tool prints it after "kestrom-sim: " and exits with status 2.
class InputError : public std::runtime_error {
  public:
    InputError(const std::string& file, const std::string& key, const std::string& problem);
};

// The name by which a file is shown in messages: "<stdin>" for "-", else the path.
std::string inputName(const std::string& path);

// Opens an input file (not "-") for reading. Throws InputError when it is a directory or
// cannot be opened.
std::ifstream openInputFile(const std::string& path);

// Reads and parses the JSON document at path ("-" reads standard input). Throws InputError
// when the file cannot be read or is not JSON.
nlohmann::json readJsonFile(const std::string& path);

// A value inside a parsed document together with its key path, so that every check can
// name where the problem is. The document must outlive the field.
class JsonField {
  public:
    JsonField(const nlohmann::json& value, std::string file, std::string key = "");

    const nlohmann::json& json() const { return *value_; }
    const std::string& key() const { return key_; }

    bool isObject() const { return value_->is_object(); }
    bool isArray() const { return value_->is_array(); }
    // An object member is present (the field must be an object).
    bool has(const char* name) const;

    // The member name of an object (an error when the field is not an object or the member
    // is missing), or element index of an array.
    JsonField at(const char* name) const;
    JsonField at(std::size_t index) const;
    // Number of elements of an array; an error when the field is not an array.
    std::size_t arraySize() const;
    // An error when the field is not an object or holds a member not in allowed.
    void expectOnlyKeys(std::initializer_list<const char*> allowed) const;

    // A finite number; an error for any other value.
    double number() const;
    // A finite number within the range of a 32-bit float (returned unrounded).
    double singleRangeNumber() const;
    // A whole number within [low, high].
    long long integer(long long low, long long high) const;
    std::string text() const;
    bool boolean() const;

    // Throws InputError for this field.
    [[noreturn]] void fail(const std::string& problem) const;

  private:
    [[noreturn]] void expected(const char* what) const;

    const nlohmann::json* value_;
    std::string file_;
    std::string key_;
};

}  // namespace kestrom_sim
