// Drawing of an allocation. Ship coordinates: forward arm f (position z) and sideways arm
// p (position x). The channel's sign rules make thrust at table angle a point along
// (cos a) forward plus (sin a) towards -p, and count the sideways force and the moment with
// +p: with angles turning from the bow towards starboard, +p is port. Forward is drawn up,
// so port is drawn left, the angle turns clockwise on the page, and a positive moment
// (bow to port) turns counter-clockwise.
#include "SvgPicture.h"
#include "scenario/TruePi.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "SvgText.h"
#include "allocation/angles.h"
#include "scenario/ChannelRows.h"
#include "scenario/JsonInput.h"
#include "scenario/NumberText.h"

namespace kestrom_sim {

namespace {

constexpr double kPi = kTruePi;
// A range this wide lets the thruster point anywhere (the channel's own value of pi).
constexpr double kFullRange = ::kPi;

constexpr double kWidth = 960.0;
constexpr double kHeight = 720.0;
constexpr double kPanelLeft = 600.0;  // the text panel on the right
constexpr double kLabelGlyph = 0.8;   // mean glyph width of a bold label (digits, %), in font sizes

const char* const kColourLow = "#1f6fb2";
const char* const kColourHigh = "#e08a00";
const char* const kColourSaturated = "#c62828";
const char* const kColourDemand = "#444444";
const char* const kColourGenerated = "#2e7d32";

struct Point {
    double x;
    double y;
};

// Fixed-point text for coordinates: 2 decimals are far below a pixel.
std::string num(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", std::isfinite(value) ? value : 0.0);
    return buffer;
}

// A force or moment with an SI prefix and three significant digits: "1.25 MN".
std::string withUnit(double value, const char* unit) {
    return quantityText(value, unit, 3);
}

// Splits text into lines of at most width characters, at spaces where possible.
std::vector<std::string> wrapped(const std::string& text, std::size_t width) {
    std::vector<std::string> lines;
    std::istringstream paragraphs(text);
    std::string paragraph;
    while (std::getline(paragraphs, paragraph)) {
        std::string line;
        std::istringstream words(paragraph);
        std::string word;
        while (words >> word) {
            while (word.size() > width) {
                if (!line.empty()) {
                    lines.push_back(line);
                    line.clear();
                }
                lines.push_back(word.substr(0, width));
                word.erase(0, width);
            }
            if (!line.empty() && line.size() + 1 + word.size() > width) {
                lines.push_back(line);
                line.clear();
            }
            line += line.empty() ? word : " " + word;
        }
        lines.push_back(line);
    }
    return lines;
}

// Text boxes already on the page, so that a new label goes where it overlaps none of them.
// Labels keep 4 px apart.
class LabelPlacer {
  public:
    struct Box {
        double left, top, right, bottom;
    };

    // The first position near `preferred` (the text's anchor point, baseline y) at which the
    // label is free of every placed one and within the drawing's area; the text starts there
    // (anchor start) or ends there (anchor end).
    Point place(Point preferred, const std::string& label, bool anchorEnd) {
        const double width = kLabelGlyph * 12.0 * static_cast<double>(label.size());
        for (int ring = 0; ring < 60; ++ring) {
            for (int dy = -ring; dy <= ring; ++dy) {
                for (int dx = -ring; dx <= ring; ++dx) {
                    if (std::max(std::abs(dx), std::abs(dy)) != ring) {
                        continue;  // only the ring's edge: nearer cells were tried before
                    }
                    const Point at{preferred.x + dx * 0.5 * width, preferred.y + dy * 14.0};
                    const double left = anchorEnd ? at.x - width : at.x;
                    const Box box{left - 2.0, at.y - 13.0, left + width + 2.0, at.y + 4.0};
                    if (fits(box)) {
                        boxes_.push_back(box);
                        return at;
                    }
                }
            }
        }
        return preferred;  // never reached on a page of at most 128 labels
    }

    // A box other text already takes.
    void reserve(const Box& box) { boxes_.push_back(box); }

  private:
    static bool overlap(const Box& a, const Box& b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }
    bool fits(const Box& box) const {
        if (box.left < 2.0 || box.right > kPanelLeft - 4.0 || box.top < 64.0 ||
            box.bottom > kHeight - 2.0) {
            return false;
        }
        return std::none_of(boxes_.begin(), boxes_.end(),
                            [&](const Box& other) { return overlap(box, other); });
    }

    std::vector<Box> boxes_;
};

class Drawing {
  public:
    Drawing(const Scenario& scenario) : scenario_(scenario) { fit(); }

    Point toPage(double forward, double port) const {
        return {centreX_ - port * scale_, centreY_ - forward * scale_};
    }
    // Page direction of table angle a.
    static Point direction(double angle) { return {std::sin(angle), -std::cos(angle)}; }
    double scale() const { return scale_; }
    double length() const { return bow_ - stern_; }
    double symbolRadius() const { return symbolRadius_; }

    std::string hull() const {
        const double shoulder = stern_ + 0.62 * length();
        const Point sternPort = toPage(stern_, halfBeam_);
        const Point sternStarboard = toPage(stern_, -halfBeam_);
        const Point shoulderStarboard = toPage(shoulder, -halfBeam_);
        const Point shoulderPort = toPage(shoulder, halfBeam_);
        const Point bow = toPage(bow_, 0.0);
        const Point controlStarboard = toPage(bow_ - 0.05 * length(), -halfBeam_);
        const Point controlPort = toPage(bow_ - 0.05 * length(), halfBeam_);
        std::ostringstream path;
        path << "M " << num(sternPort.x) << ' ' << num(sternPort.y) << " L "
             << num(sternStarboard.x) << ' ' << num(sternStarboard.y) << " L "
             << num(shoulderStarboard.x) << ' ' << num(shoulderStarboard.y) << " Q "
             << num(controlStarboard.x) << ' ' << num(controlStarboard.y) << ' ' << num(bow.x)
             << ' ' << num(bow.y) << " Q " << num(controlPort.x) << ' ' << num(controlPort.y) << ' '
             << num(shoulderPort.x) << ' ' << num(shoulderPort.y) << " Z";
        return path.str();
    }

  private:
    void fit() {
        double forwardMin = 0.0, forwardMax = 0.0, sideMax = 0.0;
        for (const ScenarioRow& row : scenario_.rows) {
            const double forward = cell(row, Column::position, 2);
            forwardMin = std::min(forwardMin, forward);
            forwardMax = std::max(forwardMax, forward);
            sideMax = std::max(sideMax, std::fabs(cell(row, Column::position, 0)));
        }
        double span = std::max(forwardMax - forwardMin, 2.0 * sideMax);
        if (!(span > 0.0)) {
            span = 1.0;
        }
        stern_ = forwardMin - 0.1 * span;
        bow_ = forwardMax + 0.16 * span;
        halfBeam_ = std::max(sideMax + 0.1 * span, 0.1 * (bow_ - stern_));
        // The vessel fills the left part of the page, with room around it for the arrows.
        const double drawHeight = kHeight - 190.0;
        const double drawWidth = kPanelLeft - 190.0;
        scale_ = std::min(drawHeight / (bow_ - stern_), drawWidth / (2.0 * halfBeam_));
        centreX_ = kPanelLeft / 2.0;
        centreY_ = 95.0 + bow_ * scale_;
        symbolRadius_ = std::clamp(0.035 * (bow_ - stern_) * scale_, 9.0, 22.0);
    }

    const Scenario& scenario_;
    double stern_ = 0.0, bow_ = 0.0, halfBeam_ = 0.0;
    double scale_ = 1.0, centreX_ = 0.0, centreY_ = 0.0, symbolRadius_ = 10.0;
};

std::string arcPoint(Point centre, double radius, double angle) {
    const Point d = Drawing::direction(angle);
    return num(centre.x + radius * d.x) + " " + num(centre.y + radius * d.y);
}

// A sector of table angles from `from` over `width` (clockwise on the page).
std::string sector(Point centre, double radius, double from, double width) {
    std::ostringstream path;
    path << "M " << num(centre.x) << ' ' << num(centre.y) << " L " << arcPoint(centre, radius, from)
         << " A " << num(radius) << ' ' << num(radius) << " 0 " << (width > kPi ? 1 : 0) << " 1 "
         << arcPoint(centre, radius, from + width) << " Z";
    return path.str();
}

const char* utilisationColour(double utilisation) {
    if (utilisation >= 99.5) {
        return kColourSaturated;
    }
    return utilisation >= 80.0 ? kColourHigh : kColourLow;
}

void arrow(std::ostringstream& svg, Point from, Point to, const char* colour, const char* marker,
           double width, bool dashed) {
    svg << "<line x1=\"" << num(from.x) << "\" y1=\"" << num(from.y) << "\" x2=\"" << num(to.x)
        << "\" y2=\"" << num(to.y) << "\" stroke=\"" << colour << "\" stroke-width=\"" << num(width)
        << "\"" << (dashed ? " stroke-dasharray=\"7 4\"" : "") << " marker-end=\"url(#" << marker
        << ")\"/>\n";
}

// An arc around centre for a moment: from the bow direction, counter-clockwise for a
// positive moment, over an angle proportional to its size (at most 300 degrees).
void momentArc(std::ostringstream& svg, Point centre, double radius, double moment,
               double reference, const char* colour, const char* marker, bool dashed) {
    if (!(reference > 0.0) || std::fabs(moment) < 0.005 * reference) {
        return;
    }
    const double sweep = 300.0 / 180.0 * kPi * std::min(std::fabs(moment) / reference, 1.0);
    const double end = moment > 0.0 ? -sweep : sweep;
    svg << "<path d=\"M " << arcPoint(centre, radius, 0.0) << " A " << num(radius) << ' '
        << num(radius) << " 0 " << (sweep > kPi ? 1 : 0) << ' ' << (moment > 0.0 ? 0 : 1) << ' '
        << arcPoint(centre, radius, end) << "\" fill=\"none\" stroke=\"" << colour
        << "\" stroke-width=\"2.5\"" << (dashed ? " stroke-dasharray=\"7 4\"" : "")
        << " marker-end=\"url(#" << marker << ")\"/>\n";
}

void text(std::ostringstream& svg, double x, double y, const std::string& content,
          const char* attributes = "") {
    svg << "<text x=\"" << num(x) << "\" y=\"" << num(y) << "\"" << attributes << ">"
        << xmlText(content) << "</text>\n";
}

void drawThrusters(std::ostringstream& svg, const Drawing& d, const Scenario& scenario,
                   const RequestResult& result, const RequestReport& report) {
    LabelPlacer labels;
    const Point forwardMark = d.toPage(0.0, 0.0);  // the page's "forward" above the vessel
    labels.reserve({forwardMark.x - 25.0, 72.0, forwardMark.x + 25.0, 88.0});
    const double r = d.symbolRadius();
    const double arrowLength = 4.5 * r;
    double largestForce = 0.0;
    for (const PublishedCells& row : result.rows) {
        largestForce = std::max(largestForce, std::fabs(static_cast<double>(row.force)));
    }
    for (std::size_t i = 0; i < scenario.rows.size(); ++i) {
        const ScenarioRow& row = scenario.rows[i];
        const Point at = d.toPage(cell(row, Column::position, 2), cell(row, Column::position, 0));
        const ThrusterRow cells = channelRow(scenario, i);
        const bool active = isActiveRow(cells.active);
        const bool fixed = cells.type == 1;  // a fixed direction, as the channel reads it
        svg << "<g id=\"thruster-" << i << "\"" << (active ? "" : " opacity=\"0.35\"") << ">\n";
        const double start = cell(row, Column::startAngle);
        const double half = std::fabs(cell(row, Column::maxRotation));
        if (fixed) {
            const Point dir = Drawing::direction(start);
            svg << "<line x1=\"" << num(at.x - 1.5 * r * dir.x) << "\" y1=\""
                << num(at.y - 1.5 * r * dir.y) << "\" x2=\"" << num(at.x + 1.5 * r * dir.x)
                << "\" y2=\"" << num(at.y + 1.5 * r * dir.y)
                << "\" stroke=\"#7a6a9a\" stroke-width=\"5\" stroke-linecap=\"round\"/>\n";
        } else if (half >= kFullRange) {
            svg << "<circle cx=\"" << num(at.x) << "\" cy=\"" << num(at.y) << "\" r=\""
                << num(1.4 * r) << "\" fill=\"#cfe3f3\" stroke=\"#7aa7cc\"/>\n";
        } else {
            svg << "<path d=\"" << sector(at, 1.4 * r, start + kPi - half, 2.0 * half)
                << "\" fill=\"#ececec\" stroke=\"#bbbbbb\"/>\n";
            svg << "<path d=\"" << sector(at, 1.4 * r, start - half, 2.0 * half)
                << "\" fill=\"#cfe3f3\" stroke=\"#7aa7cc\"/>\n";
        }
        svg << "<circle cx=\"" << num(at.x) << "\" cy=\"" << num(at.y) << "\" r=\"" << num(0.55 * r)
            << "\" fill=\"white\" stroke=\"#333333\"/>\n";
        text(svg, at.x, at.y + 0.2 * r, std::to_string(i),
             " font-size=\"10\" text-anchor=\"middle\"");

        const double force = i < result.rows.size() ? result.rows[i].force : 0.0;
        const double angle =
            i < result.rows.size() ? result.rows[i].angle : cell(row, Column::angle);
        const double maxForce = std::fabs(cell(row, Column::maxForce));
        const double maximum = maxForce > 0.0 ? maxForce : largestForce;
        const double utilisation = maximum > 0.0 ? 100.0 * std::fabs(force) / maximum : 0.0;
        const Point dir = Drawing::direction(force < 0.0 ? angle + kPi : angle);
        Point labelAt{at.x + 1.6 * r, at.y - 1.1 * r};
        if (active && utilisation >= 0.5) {
            const double length = 0.6 * r + arrowLength * std::min(utilisation / 100.0, 1.2);
            const Point tip{at.x + length * dir.x, at.y + length * dir.y};
            const char* colour = utilisationColour(utilisation);
            const char* marker = colour == kColourSaturated ? "head-saturated"
                                 : colour == kColourHigh    ? "head-high"
                                                            : "head-low";
            arrow(svg, {at.x + 0.55 * r * dir.x, at.y + 0.55 * r * dir.y}, tip, colour, marker, 3.5,
                  false);
            labelAt = {tip.x + 6.0 * (dir.x >= 0 ? 1 : -1), tip.y + (dir.y >= 0 ? 14.0 : -4.0)};
        }
        // A row the channel wrote as 0 because its direction lay outside its range says so.
        const bool writtenAsZero = std::find(report.zeroRows.begin(), report.zeroRows.end(),
                                             static_cast<int>(i)) != report.zeroRows.end();
        char label[48];
        std::snprintf(label, sizeof label,
                      !active         ? "off"
                      : writtenAsZero ? "0%% (out of range)"
                                      : "%.0f%%",
                      utilisation);
        const bool anchorEnd = dir.x < 0;
        const Point placed = labels.place(labelAt, label, anchorEnd);
        text(svg, placed.x, placed.y, label,
             anchorEnd
                 ? " class=\"share\" font-size=\"12\" font-weight=\"bold\" text-anchor=\"end\""
                 : " class=\"share\" font-size=\"12\" font-weight=\"bold\"");
        svg << "</g>\n";
    }
}

// The demand (dashed) and what the published table gives (solid green); where "Thrust
// Generated" claims something else, the claim as a faint dashed ghost.
void drawTotals(std::ostringstream& svg, const Drawing& d, const Scenario& scenario,
                const RequestResult& result, const RequestReport& report) {
    const Point origin = d.toPage(0.0, 0.0);
    const double fwdD = result.demand[0], swdD = result.demand[1], rotD = result.demand[2];
    const double fwdT = report.tableThrust.fwd, swdT = report.tableThrust.swd,
                 rotT = report.tableThrust.rot;
    const double fwdG = result.outputs.thrustGenerated[0], swdG = result.outputs.thrustGenerated[1],
                 rotG = result.outputs.thrustGenerated[2];
    const double forceD = std::hypot(fwdD, swdD), forceT = std::hypot(fwdT, swdT),
                 forceG = std::hypot(fwdG, swdG);
    // Totals are scaled against a quarter of what all thrusters together can give, so that
    // a small total looks small, and against each other when they are larger.
    double capacity = 0.0;
    for (const ScenarioRow& row : scenario.rows) {
        capacity += std::fabs(cell(row, Column::maxForce));
    }
    const bool ghost = !report.tableMatchesGenerated;
    const double forceRef = std::max({forceD, forceT, ghost ? forceG : 0.0, 0.25 * capacity});
    const double momentRef =
        std::max({std::fabs(rotD), std::fabs(rotT), ghost ? std::fabs(rotG) : 0.0,
                  0.25 * capacity * 0.5 * d.length()});
    const double arrowRef = 0.3 * d.length() * d.scale();
    auto forceArrow = [&](double fwd, double swd, double size, const char* colour,
                          const char* marker, bool dashed) {
        if (!(forceRef > 0.0) || size < 0.005 * forceRef) {
            return;
        }
        const double length = arrowRef * size / forceRef;
        const Point tip{origin.x - length * swd / size, origin.y - length * fwd / size};
        arrow(svg, origin, tip, colour, marker, dashed ? 3.0 : 4.0, dashed);
    };
    const double radius = std::max(0.07 * d.length() * d.scale(), 18.0);
    momentArc(svg, origin, radius, rotD, momentRef, kColourDemand, "head-demand", true);
    if (ghost) {
        svg << "<g id=\"claimed\" opacity=\"0.35\">\n";
        momentArc(svg, origin, radius + 14.0, rotG, momentRef, kColourGenerated, "head-generated",
                  true);
        forceArrow(fwdG, swdG, forceG, kColourGenerated, "head-generated", true);
        svg << "</g>\n";
    }
    momentArc(svg, origin, radius + 7.0, rotT, momentRef, kColourGenerated, "head-generated",
              false);
    forceArrow(fwdD, swdD, forceD, kColourDemand, "head-demand", true);
    forceArrow(fwdT, swdT, forceT, kColourGenerated, "head-generated", false);
    svg << "<path d=\"M " << num(origin.x - 6) << ' ' << num(origin.y) << " h 12 M "
        << num(origin.x) << ' ' << num(origin.y - 6)
        << " v 12\" stroke=\"black\" stroke-width=\"1.5\"/>\n";
}

void drawPanel(std::ostringstream& svg, const Scenario& scenario, const RequestResult& result,
               std::size_t requestNumber, std::size_t requestCount, const RequestReport& report) {
    double y = 36.0;
    const double x = kPanelLeft + 10.0;
    text(svg, 20.0, y, scenario.name, " font-size=\"20\" font-weight=\"bold\"");
    char heading[96];
    std::snprintf(heading, sizeof heading, "Request %zu of %zu", requestNumber, requestCount);
    text(svg, 20.0, y + 22.0, heading, " font-size=\"14\"");

    y = 90.0;
    const char* status = result.end == RequestEnd::notStarted
                             ? "No computation: the present settings already meet the demand"
                         : result.end == RequestEnd::shutDown
                             ? (result.started ? "The computation failed: thrusters shut down"
                                               : "Request refused: thrusters shut down")
                         : result.end == RequestEnd::timedOut ? "No result within the time limit"
                                                              : "Allocation published";
    for (const std::string& line : wrapped(status, 44)) {
        text(svg, x, y, line, " font-size=\"13\" font-weight=\"bold\"");
        y += 17.0;
    }
    // The verdict on the table's thrust; a miss or a shutdown in red.
    const forceMom& shortfall = report.verdict.shortfall;
    const double missedBy[3] = {shortfall.fwd, shortfall.swd, shortfall.rot};
    const char* names[3] = {"fwd", "swd", "rot"};
    const char* units[3] = {"N", "N", "N m"};
    std::string verdict =
        report.verdict.met ? "Met: the table's thrust gives the demand" : "MISSED: short by";
    for (int k = 0; k < 3 && !report.verdict.met; ++k) {
        if (report.verdict.missed[static_cast<std::size_t>(k)]) {
            verdict += std::string(verdict.back() == 'y' ? " " : ", ") + names[k] + " " +
                       withUnit(missedBy[k], units[k]);
        }
    }
    if (!result.shutdowns.empty()) {
        verdict = "SHUT DOWN during this request. " + verdict;
    }
    if (!report.tableMatchesGenerated) {
        verdict += ". The table's thrust differs from Thrust Generated (faint dashed)";
        if (!report.zeroRows.empty()) {
            std::string rows;
            for (const int row : report.zeroRows) {
                rows += (rows.empty() ? "" : ", ") + std::to_string(row);
            }
            verdict += ": row" + std::string(report.zeroRows.size() > 1 ? "s " : " ") + rows +
                       " pointed out of range and were written as 0";
        }
    }
    const bool bad = !report.verdict.met || !result.shutdowns.empty();
    for (const std::string& line : wrapped(verdict, 44)) {
        text(svg, x, y, line,
             bad ? " font-size=\"13\" font-weight=\"bold\" fill=\"#c62828\""
                 : " font-size=\"13\" fill=\"#2e7d32\"");
        y += 17.0;
    }
    y += 8.0;
    // Right edges of the value columns, inside the panel's frame.
    const double columns[3] = {x + 120.0, x + 222.0, x + 324.0};
    text(svg, columns[0], y, "demanded", " font-size=\"12\" text-anchor=\"end\" fill=\"#444444\"");
    text(svg, columns[1], y, "table gives",
         " font-size=\"12\" text-anchor=\"end\" fill=\"#2e7d32\"");
    text(svg, columns[2], y, "Thrust Gen.",
         " font-size=\"12\" text-anchor=\"end\" fill=\"#777777\"");
    const double table[3] = {report.tableThrust.fwd, report.tableThrust.swd,
                             report.tableThrust.rot};
    for (int k = 0; k < 3; ++k) {
        y += 18.0;
        text(svg, x, y, names[k], " font-size=\"12\"");
        text(svg, columns[0], y, withUnit(result.demand[k], units[k]),
             " font-size=\"12\" text-anchor=\"end\"");
        text(svg, columns[1], y, withUnit(table[k], units[k]),
             " font-size=\"12\" text-anchor=\"end\"");
        text(svg, columns[2], y, withUnit(result.outputs.thrustGenerated[k], units[k]),
             " font-size=\"12\" text-anchor=\"end\"");
    }
    y += 22.0;
    text(svg, x, y, "energy (sum of thrusts): " + withUnit(result.outputs.energy, "N"),
         " font-size=\"12\"");
    y += 18.0;
    char active[64];
    std::snprintf(active, sizeof active, "active thrusters: %g", result.outputs.activeThrusters);
    text(svg, x, y, active, " font-size=\"12\"");
    y += 18.0;
    for (const std::string& line : wrapped("Error Message: " + result.outputs.errorMessage, 46)) {
        text(svg, x, y, line,
             result.outputs.error != 0.0f ? " font-size=\"12\" fill=\"#c62828\""
                                          : " font-size=\"12\"");
        y += 16.0;
    }

    // Legend.
    y += 20.0;
    text(svg, x, y, "Legend", " font-size=\"13\" font-weight=\"bold\"");
    const Point sectorAt{x + 14.0, y + 30.0};
    svg << "<path d=\"" << sector(sectorAt, 14.0, -0.6, 1.2)
        << "\" fill=\"#cfe3f3\" stroke=\"#7aa7cc\"/>\n"
        << "<path d=\"" << sector(sectorAt, 14.0, kPi - 0.6, 1.2)
        << "\" fill=\"#ececec\" stroke=\"#bbbbbb\"/>\n";
    text(svg, x + 36.0, y + 26.0, "rotation range (grey: same range,", " font-size=\"11\"");
    text(svg, x + 36.0, y + 39.0, "thrust reversed); circle: free azimuth", " font-size=\"11\"");
    svg << "<line x1=\"" << num(x + 14.0) << "\" y1=\"" << num(y + 50.0) << "\" x2=\""
        << num(x + 14.0) << "\" y2=\"" << num(y + 72.0)
        << "\" stroke=\"#7a6a9a\" stroke-width=\"5\" stroke-linecap=\"round\"/>\n";
    text(svg, x + 36.0, y + 65.0, "fixed direction (type 1), either way", " font-size=\"11\"");
    const char* colours[3] = {kColourLow, kColourHigh, kColourSaturated};
    const char* markers[3] = {"head-low", "head-high", "head-saturated"};
    const char* meanings[3] = {"thrust, length = share of maximum", "thrust at 80 % or more",
                               "thrust at its maximum"};
    double ly = y + 92.0;
    for (int k = 0; k < 3; ++k) {
        arrow(svg, {x, ly}, {x + 28.0, ly}, colours[k], markers[k], 3.5, false);
        text(svg, x + 36.0, ly + 4.0, meanings[k], " font-size=\"11\"");
        ly += 20.0;
    }
    arrow(svg, {x, ly}, {x + 28.0, ly}, kColourDemand, "head-demand", 3.0, true);
    text(svg, x + 36.0, ly + 4.0, "demanded force and moment", " font-size=\"11\"");
    ly += 20.0;
    arrow(svg, {x, ly}, {x + 28.0, ly}, kColourGenerated, "head-generated", 4.0, false);
    text(svg, x + 36.0, ly + 4.0, "what the published table gives", " font-size=\"11\"");
    ly += 20.0;
    svg << "<g opacity=\"0.35\">";
    arrow(svg, {x, ly}, {x + 28.0, ly}, kColourGenerated, "head-generated", 3.0, true);
    svg << "</g>\n";
    text(svg, x + 36.0, ly + 4.0, "Thrust Generated, where it claims otherwise",
         " font-size=\"11\"");
    ly += 16.0;
    for (const char* line : {"at the reference point (+); arcs: moment,",
                             "counter-clockwise = bow to port, as 0° ahead to 90° port",
                             "forward up, port left; label: % of maximum"}) {
        ly += 14.0;
        text(svg, x, ly, line, " font-size=\"11\" fill=\"#555555\"");
    }
}

void marker(std::ostringstream& svg, const char* id, const char* colour) {
    svg << "<marker id=\"" << id
        << "\" viewBox=\"0 0 10 10\" refX=\"8\" refY=\"5\" markerWidth=\"4\" "
           "markerHeight=\"4\" orient=\"auto\"><path d=\"M 0 0 L 10 5 L 0 10 z\" fill=\""
        << colour << "\"/></marker>\n";
}

}  // namespace

std::string svgPicture(const Scenario& scenario, const RequestResult& result,
                       const RequestReport& report, std::size_t requestNumber,
                       std::size_t requestCount) {
    std::ostringstream svg;
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << num(kWidth) << "\" height=\""
        << num(kHeight) << "\" viewBox=\"0 0 " << num(kWidth) << ' ' << num(kHeight)
        << "\" font-family=\"sans-serif\">\n"
        << "<title>" << xmlText(scenario.name) << ": request " << requestNumber << "</title>\n"
        << "<defs>\n";
    marker(svg, "head-low", kColourLow);
    marker(svg, "head-high", kColourHigh);
    marker(svg, "head-saturated", kColourSaturated);
    marker(svg, "head-demand", kColourDemand);
    marker(svg, "head-generated", kColourGenerated);
    svg << "</defs>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<rect x=\"" << num(kPanelLeft) << "\" y=\"60\" width=\""
        << num(kWidth - kPanelLeft - 10) << "\" height=\"" << num(kHeight - 70)
        << "\" fill=\"#f7f7f7\" stroke=\""
        << (report.verdict.met && result.shutdowns.empty() ? "#dddddd" : "#c62828")
        << "\" stroke-width=\"3\"/>\n";

    const Drawing drawing(scenario);
    svg << "<path d=\"" << drawing.hull()
        << "\" fill=\"#f3efe6\" stroke=\"#6b5f4a\" stroke-width=\"2\"/>\n";
    const Point bowMark = drawing.toPage(0.0, 0.0);
    text(svg, bowMark.x, 84.0, "forward", " font-size=\"11\" text-anchor=\"middle\" fill=\"#777\"");
    text(svg, 16.0, bowMark.y, "port", " font-size=\"11\" fill=\"#777\"");
    text(svg, kPanelLeft - 16.0, bowMark.y, "starboard",
         " font-size=\"11\" text-anchor=\"end\" fill=\"#777\"");
    drawThrusters(svg, drawing, scenario, result, report);
    drawTotals(svg, drawing, scenario, result, report);
    drawPanel(svg, scenario, result, requestNumber, requestCount, report);
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace kestrom_sim
