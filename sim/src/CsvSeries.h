// Demand series read from CSV files and request results written to one.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "scenario/Scenario.h"

namespace kestrom_sim {

struct RequestResult;
struct RequestReport;

// Reads demands, one "fwd,swd,rot" line each. An optional first line "fwd,swd,rot" names
// the columns; blank lines and lines starting with '#' are skipped. Throws InputError
// naming the file and the line.
std::vector<Demand> readDemandsCsv(const std::string& path);

// Writes one line per request: the demand, the generated thrust, the energy, the error flag
// and per table row the force and angle, every number printed to read back exactly.
class CsvResultWriter {
  public:
    // Throws InputError when the file cannot be created.
    CsvResultWriter(const std::string& path, std::size_t rowCount);
    void write(std::size_t requestNumber, const RequestResult& result, const RequestReport& report);
    void flush() { out_.flush(); }

  private:
    std::string path_;
    std::ofstream out_;
};

}  // namespace kestrom_sim
