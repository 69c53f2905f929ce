// CSV demand series and result lines.
#include "CsvSeries.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Scene.h"
#include "scenario/JsonInput.h"
#include "scenario/NumberText.h"
#include "scenario/RequestReport.h"

namespace kestrom_sim {

namespace {

std::string trimmed(const std::string& text) {
    const char* space = " \t\r";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::vector<std::string> splitCommas(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(trimmed(line.substr(start, comma - start)));
        if (comma == std::string::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

}  // namespace

std::vector<Demand> readDemandsCsv(const std::string& path) {
    std::ifstream in = openInputFile(path);
    std::vector<Demand> demands;
    std::string line;
    for (std::size_t lineNumber = 1; std::getline(in, line); ++lineNumber) {
        const std::string content = trimmed(line);
        if (content.empty() || content[0] == '#') {
            continue;
        }
        const std::string key = "line " + std::to_string(lineNumber);
        const std::vector<std::string> fields = splitCommas(content);
        if (demands.empty() && fields.size() == 3 && fields[0] == "fwd" && fields[1] == "swd" &&
            fields[2] == "rot") {
            continue;
        }
        if (fields.size() != 3) {
            throw InputError(
                path, key,
                "expected 3 numbers fwd,swd,rot, got " + std::to_string(fields.size()) + " fields");
        }
        Demand demand{};
        for (std::size_t k = 0; k < 3; ++k) {
            const char* begin = fields[k].c_str();
            char* end = nullptr;
            const double value = std::strtod(begin, &end);
            if (fields[k].empty() || *end != '\0') {
                throw InputError(path, key, "\"" + fields[k] + "\" is not a number");
            }
            if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) {
                throw InputError(path, key, "\"" + fields[k] + "\" is not a finite number");
            }
            demand[k] = value;
        }
        demands.push_back(demand);
    }
    if (in.bad()) {
        throw InputError(path, "", "cannot be read");
    }
    if (demands.empty()) {
        throw InputError(path, "", "no demands");
    }
    return demands;
}

CsvResultWriter::CsvResultWriter(const std::string& path, std::size_t rowCount)
    : path_(path), out_(path) {
    if (!out_) {
        throw InputError(path, "", std::string("cannot be written: ") + std::strerror(errno));
    }
    out_ << "request,fwd,swd,rot,started,thrustFwd,thrustSwd,thrustRot,energy,activeThrusters,"
            "error,tableFwd,tableSwd,tableRot,met,tableMatchesGenerated,shutdowns,seconds";
    for (std::size_t i = 0; i < rowCount; ++i) {
        out_ << ",force" << i << ",angle" << i;
    }
    out_ << '\n';
}

void CsvResultWriter::write(std::size_t requestNumber, const RequestResult& r,
                            const RequestReport& report) {
    out_ << requestNumber << ',' << roundTripText(r.demand[0]) << ',' << roundTripText(r.demand[1])
         << ',' << roundTripText(r.demand[2]) << ',' << (r.started ? 1 : 0);
    for (const float value : r.outputs.thrustGenerated) {
        out_ << ',' << roundTripText(value);
    }
    out_ << ',' << roundTripText(r.outputs.energy) << ','
         << roundTripText(r.outputs.activeThrusters) << ',' << roundTripText(r.outputs.error) << ','
         << roundTripText(report.tableThrust.fwd) << ',' << roundTripText(report.tableThrust.swd)
         << ',' << roundTripText(report.tableThrust.rot) << ',' << (report.verdict.met ? 1 : 0)
         << ',' << (report.tableMatchesGenerated ? 1 : 0) << ',' << r.shutdowns.size() << ','
         << roundTripText(r.seconds);
    for (const PublishedCells& row : r.rows) {
        out_ << ',' << roundTripText(row.force) << ',' << roundTripText(row.angle);
    }
    out_ << '\n';
}

}  // namespace kestrom_sim
