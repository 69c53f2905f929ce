// Printing the envelope. Demand angles turn from ahead (+fwd) towards port (+swd); with
// ahead drawn up and port left, angle a lies at (-sin a, -cos a) from the centre on the page.
#include "CapabilityOutput.h"
#include "scenario/TruePi.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "SvgText.h"
#include "scenario/NumberText.h"

namespace kestrom_sim {

namespace {

constexpr double kDegree = kTruePi / 180.0;
constexpr double kSize = 760.0;
constexpr double kCentre = 380.0;
constexpr double kPlotRadius = 280.0;
const char* const kPhysicalColour = "#1f6fb2";
const char* const kAllocationColour = "#e08a00";
const char* const kOptimalColour = "#2a9d4b";

std::string jsonOptional(const std::optional<double>& value) {
    return value ? jsonNumber(*value) : "null";
}

std::string px(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

struct Page {
    double scale;  // pixels per newton
    std::string point(double degrees, double magnitude) const {
        const double r = magnitude * scale;
        return px(kCentre - r * std::sin(degrees * kDegree)) + "," +
               px(kCentre - r * std::cos(degrees * kDegree));
    }
};

// A round ring spacing: 1, 2 or 5 times a power of ten, about a quarter of the largest.
double ringStep(double largest) {
    const double rough = largest / 4.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= rough) {
            return m * power;
        }
    }
    return 10.0 * power;
}

std::string forceText(double newtons) {
    return quantityText(newtons, "N", 3);
}

void label(std::ostringstream& svg, double x, double y, const std::string& text,
           const char* anchor = "middle", const char* extra = "") {
    svg << "<text x=\"" << px(x) << "\" y=\"" << px(y) << "\" text-anchor=\"" << anchor << "\" "
        << extra << ">" << xmlText(text) << "</text>\n";
}

void drawGrid(std::ostringstream& svg, const Page& page, double largest) {
    const double step = ringStep(largest);
    for (double ring = step; ring * page.scale <= kPlotRadius + 1.0; ring += step) {
        svg << "<circle cx=\"" << px(kCentre) << "\" cy=\"" << px(kCentre) << "\" r=\""
            << px(ring * page.scale) << "\" fill=\"none\" stroke=\"#ccc\"/>\n";
        label(svg, kCentre + 3.0, kCentre - ring * page.scale - 3.0, forceText(ring), "start",
              "font-size=\"10\" fill=\"#777\"");
    }
    for (int degrees = 0; degrees < 360; degrees += 30) {
        const double a = degrees * kDegree;
        const double outer = kPlotRadius + 8.0;
        svg << "<line x1=\"" << px(kCentre) << "\" y1=\"" << px(kCentre) << "\" x2=\""
            << px(kCentre - outer * std::sin(a)) << "\" y2=\"" << px(kCentre - outer * std::cos(a))
            << "\" stroke=\"#ddd\"/>\n";
        const double at = kPlotRadius + 22.0;
        svg << "<text x=\"" << px(kCentre - at * std::sin(a)) << "\" y=\""
            << px(kCentre - at * std::cos(a) + 4.0) << "\" text-anchor=\"middle\" font-size=\"11\">"
            << degrees << "&#176;</text>\n";
    }
    const double words = kPlotRadius + 46.0;
    label(svg, kCentre, kCentre - words + 4.0, "ahead", "middle", "font-weight=\"bold\"");
    label(svg, kCentre, kCentre + words + 4.0, "astern", "middle", "font-weight=\"bold\"");
    // The side words sit below the 90 and 270 degree labels, which share their height.
    label(svg, kCentre - kPlotRadius - 22.0, kCentre + 22.0, "port", "middle",
          "font-weight=\"bold\"");
    label(svg, kCentre + kPlotRadius + 22.0, kCentre + 22.0, "starboard", "middle",
          "font-weight=\"bold\"");
}

void drawVessel(std::ostringstream& svg) {
    const double c = kCentre;
    svg << "<path id=\"vessel\" d=\"M " << px(c) << ' ' << px(c - 36) << " Q " << px(c + 13) << ' '
        << px(c - 16) << ' ' << px(c + 12) << ' ' << px(c + 10) << " L " << px(c + 12) << ' '
        << px(c + 30) << " L " << px(c - 12) << ' ' << px(c + 30) << " L " << px(c - 12) << ' '
        << px(c + 10) << " Q " << px(c - 13) << ' ' << px(c - 16) << ' ' << px(c) << ' '
        << px(c - 36) << " Z\" fill=\"#eee\" stroke=\"#555\"/>\n";
}

void drawEnvelopes(std::ostringstream& svg, const CapabilityEnvelope& envelope, const Page& page) {
    svg << "<polygon id=\"physical\" fill=\"" << kPhysicalColour
        << "\" fill-opacity=\"0.12\" stroke=\"" << kPhysicalColour
        << "\" stroke-width=\"2\" points=\"";
    for (const DirectionCapability& d : envelope.directions) {
        svg << page.point(d.angle, d.physical) << ' ';
    }
    svg << "\"/>\n<polygon id=\"allocation\" fill=\"" << kAllocationColour
        << "\" fill-opacity=\"0.15\" stroke=\"" << kAllocationColour
        << "\" stroke-width=\"2\" points=\"";
    for (const DirectionCapability& d : envelope.directions) {
        svg << page.point(d.angle, d.allocation.value_or(0.0)) << ' ';
    }
    svg << "\"/>\n<polygon id=\"optimal\" fill=\"none\" stroke=\"" << kOptimalColour
        << "\" stroke-width=\"2\" stroke-dasharray=\"6 4\" points=\"";
    for (const DirectionCapability& d : envelope.directions) {
        svg << page.point(d.angle, d.optimal.value_or(0.0)) << ' ';
    }
    svg << "\"/>\n<g id=\"met-above\" fill=\"" << kAllocationColour << "\">\n";
    for (const DirectionCapability& d : envelope.directions) {
        for (const double m : d.metAbove) {
            const std::string p = page.point(d.angle, m);
            const std::size_t comma = p.find(',');
            svg << "<circle cx=\"" << p.substr(0, comma) << "\" cy=\"" << p.substr(comma + 1)
                << "\" r=\"1.6\"/>\n";
        }
    }
    svg << "</g>\n";
}

void drawLegend(std::ostringstream& svg, const CapabilityEnvelope& envelope,
                const std::string& title) {
    const double x = 20.0;
    const double y = kSize + 6.0;
    label(svg, x, 24.0, title, "start", "font-size=\"15\" font-weight=\"bold\"");
    label(svg, x, 42.0, "yaw moment held: " + roundTripText(envelope.moment) + " N m", "start",
          "font-size=\"12\"");
    svg << "<g id=\"legend\" font-size=\"12\">\n";
    svg << "<line x1=\"" << px(x) << "\" y1=\"" << px(y) << "\" x2=\"" << px(x + 30) << "\" y2=\""
        << px(y) << "\" stroke=\"" << kPhysicalColour << "\" stroke-width=\"2\"/>\n";
    label(svg, x + 38, y + 4, "physical limit: the most any setting of the thrusters gives",
          "start");
    svg << "<line x1=\"" << px(x) << "\" y1=\"" << px(y + 20) << "\" x2=\"" << px(x + 30)
        << "\" y2=\"" << px(y + 20) << "\" stroke=\"" << kAllocationColour
        << "\" stroke-width=\"2\"/>\n";
    label(svg, x + 38, y + 24, "allocation's limit: every force up to it is met", "start");
    svg << "<circle cx=\"" << px(x + 15) << "\" cy=\"" << px(y + 40) << "\" r=\"2.5\" fill=\""
        << kAllocationColour << "\"/>\n";
    label(svg, x + 38, y + 44, "met again above the allocation's first miss", "start");
    svg << "<line x1=\"" << px(x) << "\" y1=\"" << px(y + 60) << "\" x2=\"" << px(x + 30)
        << "\" y2=\"" << px(y + 60) << "\" stroke=\"" << kOptimalColour
        << "\" stroke-width=\"2\" stroke-dasharray=\"6 4\"/>\n";
    label(svg, x + 38, y + 64, "optimal allocation's limit (KestromOptimal)", "start");
    label(svg, x, y + 86, "Angle: direction of the demanded force, from ahead towards port.",
          "start");
    svg << "</g>\n";
}

}  // namespace

std::string capabilityJson(const CapabilityEnvelope& envelope) {
    std::ostringstream out;
    out << "{\"moment\":" << jsonNumber(envelope.moment) << ",\"directions\":[";
    for (std::size_t i = 0; i < envelope.directions.size(); ++i) {
        const DirectionCapability& d = envelope.directions[i];
        out << (i > 0 ? "," : "") << "{\"angle\":" << jsonNumber(d.angle)
            << ",\"allocation\":" << jsonOptional(d.allocation)
            << ",\"physical\":" << jsonNumber(d.physical)
            << ",\"optimal\":" << jsonOptional(d.optimal) << ",\"metAbove\":[";
        for (std::size_t k = 0; k < d.metAbove.size(); ++k) {
            out << (k > 0 ? "," : "") << jsonNumber(d.metAbove[k]);
        }
        out << "]}";
    }
    out << "]}\n";
    return out.str();
}

std::string capabilityCsv(const CapabilityEnvelope& envelope) {
    std::ostringstream out;
    out << "angle,allocation,physical,optimal,metAbove\n";
    for (const DirectionCapability& d : envelope.directions) {
        out << roundTripText(d.angle) << ','
            << (d.allocation ? roundTripText(*d.allocation) : std::string()) << ','
            << roundTripText(d.physical) << ','
            << (d.optimal ? roundTripText(*d.optimal) : std::string()) << ',';
        for (std::size_t k = 0; k < d.metAbove.size(); ++k) {
            out << (k > 0 ? " " : "") << roundTripText(d.metAbove[k]);
        }
        out << '\n';
    }
    return out.str();
}

std::string capabilitySvg(const CapabilityEnvelope& envelope, const std::string& title) {
    double largest = 0.0;
    for (const DirectionCapability& d : envelope.directions) {
        largest = std::max(largest, d.physical);
    }
    const Page page{largest > 0.0 ? kPlotRadius / largest : 0.0};
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << px(kSize) << "\" height=\""
        << px(kSize + 110.0) << "\" viewBox=\"0 0 " << px(kSize) << ' ' << px(kSize + 110.0)
        << "\" font-family=\"sans-serif\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    if (largest > 0.0) {
        drawGrid(svg, page, largest);
    }
    drawEnvelopes(svg, envelope, page);
    drawVessel(svg);
    drawLegend(svg, envelope, title);
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace kestrom_sim
