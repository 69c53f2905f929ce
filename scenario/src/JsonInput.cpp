// JSON input reading with messages that name the file and the key.
#include "scenario/JsonInput.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace kestrom_sim {

namespace {

// nlohmann's texts start with "[json.exception.parse_error.101] ", which says nothing to a
// user; the rest names the line, the column and what was found.
std::string withoutExceptionTag(const std::string& text) {
    if (!text.empty() && text.front() == '[') {
        const std::size_t end = text.find("] ");
        if (end != std::string::npos) {
            return text.substr(end + 2);
        }
    }
    return text;
}

std::string typeName(const nlohmann::json& value) {
    if (value.is_number()) {
        return "a number";
    }
    if (value.is_null()) {
        return "null";
    }
    const std::string name = value.type_name();
    return (name == "array" || name == "object") ? "an " + name : "a " + name;
}

}  // namespace

std::string inputMessage(const std::string& file, const std::string& key,
                         const std::string& problem) {
    return key.empty() ? file + ": " + problem : file + ": " + key + ": " + problem;
}

InputError::InputError(const std::string& file, const std::string& key, const std::string& problem)
    : std::runtime_error(inputMessage(file, key, problem)) {}

std::string inputName(const std::string& path) {
    return path == "-" ? "<stdin>" : path;
}

std::ifstream openInputFile(const std::string& path) {
    // A directory opens as a stream on some systems and fails only when read, without a
    // reason a user would recognise.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        throw InputError(path, "", "is a directory");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw InputError(path, "", std::string("cannot be read: ") + std::strerror(errno));
    }
    return file;
}

nlohmann::json readJsonFile(const std::string& path) {
    const std::string name = inputName(path);
    std::string content;
    if (path == "-") {
        content.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream file = openInputFile(path);
        std::ostringstream buffer;
        buffer << file.rdbuf();
        if (file.bad()) {
            throw InputError(name, "", "cannot be read");
        }
        content = buffer.str();
    }
    try {
        return nlohmann::json::parse(content);
    } catch (const nlohmann::json::exception& e) {
        throw InputError(name, "", "not JSON: " + withoutExceptionTag(e.what()));
    }
}

JsonField::JsonField(const nlohmann::json& value, std::string file, std::string key)
    : value_(&value), file_(std::move(file)), key_(std::move(key)) {}

bool JsonField::has(const char* name) const {
    return value_->is_object() && value_->find(name) != value_->end();
}

JsonField JsonField::at(const char* name) const {
    if (!value_->is_object()) {
        expected("an object");
    }
    const std::string childKey = key_.empty() ? name : key_ + "." + name;
    const auto found = value_->find(name);
    if (found == value_->end()) {
        throw InputError(file_, childKey, "missing");
    }
    return JsonField(*found, file_, childKey);
}

JsonField JsonField::at(std::size_t index) const {
    if (!value_->is_array()) {
        expected("an array");
    }
    const std::string childKey = key_ + "[" + std::to_string(index) + "]";
    if (index >= value_->size()) {
        throw InputError(file_, childKey, "missing");
    }
    return JsonField((*value_)[index], file_, childKey);
}

std::size_t JsonField::arraySize() const {
    if (!value_->is_array()) {
        expected("an array");
    }
    return value_->size();
}

void JsonField::expectOnlyKeys(std::initializer_list<const char*> allowed) const {
    if (!value_->is_object()) {
        expected("an object");
    }
    for (auto item = value_->begin(); item != value_->end(); ++item) {
        bool known = false;
        for (const char* name : allowed) {
            known = known || item.key() == name;
        }
        if (!known) {
            const std::string childKey = key_.empty() ? item.key() : key_ + "." + item.key();
            throw InputError(file_, childKey, "unknown key");
        }
    }
}

double JsonField::number() const {
    if (!value_->is_number()) {
        expected("a number");
    }
    const double value = value_->get<double>();
    if (!std::isfinite(value)) {
        fail("expected a finite number");
    }
    return value;
}

double JsonField::singleRangeNumber() const {
    const double value = number();
    if (std::fabs(value) > FLT_MAX) {
        fail("out of the single-precision range the host's channels hold");
    }
    return value;
}

long long JsonField::integer(long long low, long long high) const {
    const double value = number();
    if (value != std::floor(value) || value < static_cast<double>(low) ||
        value > static_cast<double>(high)) {
        fail("expected a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    }
    return static_cast<long long>(value);
}

std::string JsonField::text() const {
    if (!value_->is_string()) {
        expected("a string");
    }
    return value_->get<std::string>();
}

bool JsonField::boolean() const {
    if (!value_->is_boolean()) {
        expected("true or false");
    }
    return value_->get<bool>();
}

void JsonField::fail(const std::string& problem) const {
    throw InputError(file_, key_, problem);
}

void JsonField::expected(const char* what) const {
    fail(std::string("expected ") + what + ", got " + typeName(*value_));
}

}  // namespace kestrom_sim
