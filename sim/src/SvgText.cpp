// Text for the pictures and files the tools write.
#include "SvgText.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "JsonInput.h"

namespace kestrom_sim {

std::string xmlText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += (u < 0x20 || u >= 0x7f) ? '?' : c;
        }
    }
    return out;
}

void writeTextFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        throw InputError(path, "", std::string("cannot be written: ") + std::strerror(errno));
    }
    out << content;
    out.close();
    if (!out) {
        throw InputError(path, "", "cannot be written");
    }
}

}  // namespace kestrom_sim
