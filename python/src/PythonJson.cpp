// Conversion of Python values to JSON with the key path of every element.
#include "PythonJson.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "scenario/JsonInput.h"

namespace py = pybind11;

namespace kestrom_python {

namespace {

// Deeper than any input of the tool; a list that contains itself stops here.
constexpr int kMaxDepth = 32;

nlohmann::json floatJson(double value, NonFinite nonFinite) {
    if (std::isfinite(value) || nonFinite == NonFinite::number) {
        return value;
    }
    if (std::isnan(value)) {
        return "NaN";
    }
    return value > 0 ? "Infinity" : "-Infinity";
}

// Python text as UTF-8; a lone surrogate has no UTF-8 form.
std::string utf8(py::handle text, const std::string& file, const std::string& key) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (data == nullptr) {
        PyErr_Clear();
        throw kestrom_sim::InputError(file, key,
                                      "text that is not valid Unicode (a lone surrogate), " +
                                          py::repr(text).cast<std::string>());
    }
    return std::string(data, static_cast<std::size_t>(size));
}

nlohmann::json convertValue(py::handle value, const std::string& file, const std::string& key,
                            NonFinite nonFinite, int depth);

// Whatever a value's own methods raise (a list subclass whose iteration fails, a tolist()
// that raises) is a problem with that value.
nlohmann::json convert(py::handle value, const std::string& file, const std::string& key,
                       NonFinite nonFinite, int depth) {
    try {
        return convertValue(value, file, key, nonFinite, depth);
    } catch (py::error_already_set& raised) {
        const std::string type = py::str(raised.type().attr("__name__")).cast<std::string>();
        throw kestrom_sim::InputError(file, key, "cannot be read: it raised " + type);
    }
}

nlohmann::json convertValue(py::handle value, const std::string& file, const std::string& key,
                            NonFinite nonFinite, int depth) {
    if (depth > kMaxDepth) {
        throw kestrom_sim::InputError(file, key, "nested more than 32 levels deep");
    }
    if (value.is_none()) {
        return nullptr;
    }
    // bool before int: Python's bool is an int.
    if (py::isinstance<py::bool_>(value)) {
        return value.cast<bool>();
    }
    if (py::isinstance<py::int_>(value)) {
        // Through double, as a JSON reader takes a number.
        const double number = PyLong_AsDouble(value.ptr());
        if (number == -1.0 && PyErr_Occurred() != nullptr) {
            PyErr_Clear();
            throw kestrom_sim::InputError(file, key, "a whole number too large for a double");
        }
        return floatJson(number, nonFinite);
    }
    if (py::isinstance<py::float_>(value)) {
        return floatJson(value.cast<double>(), nonFinite);
    }
    if (py::isinstance<py::str>(value)) {
        return utf8(value, file, key);
    }
    if (py::isinstance<py::dict>(value)) {
        nlohmann::json object = nlohmann::json::object();
        for (const auto item : value.cast<py::dict>()) {
            if (!py::isinstance<py::str>(item.first)) {
                throw kestrom_sim::InputError(
                    file, key,
                    "expected text keys, got " + py::repr(item.first).cast<std::string>());
            }
            const std::string name = utf8(item.first, file, key);
            object[name] = convert(item.second, file, key.empty() ? name : key + "." + name,
                                   nonFinite, depth + 1);
        }
        return object;
    }
    if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
        nlohmann::json array = nlohmann::json::array();
        std::size_t index = 0;
        for (const py::handle element : value) {
            array.push_back(convert(element, file, key + "[" + std::to_string(index++) + "]",
                                    nonFinite, depth + 1));
        }
        return array;
    }
    // numpy arrays and numpy scalars: their plain Python form.
    if (py::hasattr(value, "tolist")) {
        const py::object plain = value.attr("tolist")();
        if (!py::isinstance(plain, py::type::of(value))) {
            return convert(plain, file, key, nonFinite, depth + 1);
        }
    }
    throw kestrom_sim::InputError(
        file, key,
        "expected a number, text, list or dict, got " +
            py::str(py::type::of(value).attr("__name__")).cast<std::string>());
}

}  // namespace

nlohmann::json toJson(py::handle value, const std::string& file, NonFinite nonFinite,
                      const std::string& key) {
    return convert(value, file, key, nonFinite, 0);
}

double numberArgument(py::handle value, const char* name) {
    if (py::isinstance<py::bool_>(value) ||
        !(py::isinstance<py::float_>(value) || py::isinstance<py::int_>(value))) {
        throw py::value_error(std::string(name) + ": expected a number, got " +
                              py::str(py::type::of(value).attr("__name__")).cast<std::string>());
    }
    const double number = PyFloat_AsDouble(value.ptr());
    if (number == -1.0 && PyErr_Occurred() != nullptr) {
        PyErr_Clear();
        throw py::value_error(std::string(name) + ": a number too large for a double");
    }
    return number;
}

long long wholeArgument(py::handle value, const char* name, long long low, long long high) {
    if (py::isinstance<py::bool_>(value) || !py::isinstance<py::int_>(value)) {
        throw py::value_error(std::string(name) + ": expected a whole number, got " +
                              py::str(py::type::of(value).attr("__name__")).cast<std::string>());
    }
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (overflow != 0) {
        return overflow > 0 ? high : low;
    }
    return std::clamp(number, low, high);
}

}  // namespace kestrom_python
