// Text for the pictures the tools draw.
#include "SvgText.h"

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

}  // namespace kestrom_sim
