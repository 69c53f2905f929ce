// Conversion of Python values to JSON with the key path of every element.
#include "PythonJson.h"

#include <cmath>

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

nlohmann::json convert(py::handle value, const std::string& file, const std::string& key,
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
        // Through double, as a JSON reader takes a number; no overflow for huge integers.
        return floatJson(PyLong_AsDouble(value.ptr()), nonFinite);
    }
    if (py::isinstance<py::float_>(value)) {
        return floatJson(value.cast<double>(), nonFinite);
    }
    if (py::isinstance<py::str>(value)) {
        return value.cast<std::string>();
    }
    if (py::isinstance<py::dict>(value)) {
        nlohmann::json object = nlohmann::json::object();
        for (const auto item : value.cast<py::dict>()) {
            if (!py::isinstance<py::str>(item.first)) {
                throw kestrom_sim::InputError(
                    file, key,
                    "expected text keys, got " + py::repr(item.first).cast<std::string>());
            }
            const std::string name = item.first.cast<std::string>();
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

}  // namespace kestrom_python
