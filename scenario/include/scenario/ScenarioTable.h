// A scenario's thruster table as the channel reads it from a host, and as the request cycle's
// table: the one conversion from scenario rows to the channel's rows, so that tools compute
// the channel's answer with the channel's own cycle instead of a host.
#pragma once

#include <string>
#include <vector>

#include "allocation/RequestTable.h"
#include "allocation/TableRequest.h"
#include "scenario/Scenario.h"

namespace kestrom_sim {

// The request the channel reads for demand on the scenario's table as given: every cell
// stored as a float, a column no row gives read as its link's default, integer cells and
// "Action in Extrema" truncated as the channel's Value links truncate.
TableRequest tableRequest(const Scenario& scenario, const Demand& demand);

// One request on the scenario's table: reads what tableRequest gives, writes the published
// force and angle cells back into the scenario (a column no row gives stays unwritten, as
// with an unconnected link) and the output links into `outputs`.
class ScenarioTable final : public RequestTable {
  public:
    ScenarioTable(Scenario& scenario, LinkOutputs& outputs, const Demand& demand);

    int rowCount() override { return static_cast<int>(request_.rows.size()); }
    int previousActive() override;
    std::array<float, 3> demand() override { return request_.demand; }
    int selectRow(int row) override;
    ThrusterRow selectedCells() override { return request_.rows[selected_]; }
    int actionInExtrema() override { return request_.actionInExtrema; }
    void writeRows(const std::vector<PublishedRow>& rows) override;
    void zeroForces(int rowCount) override;
    void writeOutputs(const LinkOutputs& outputs) override;

    // The rows as read, before anything was written.
    const std::vector<ThrusterRow>& rows() const { return request_.rows; }
    // The "Error Message" of every error shutdown so far, oldest first.
    const std::vector<std::string>& shutdowns() const { return shutdowns_; }

  private:
    void writeCell(int row, Column column, float value);

    Scenario& scenario_;
    LinkOutputs& outputs_;
    TableRequest request_;
    std::size_t selected_ = 0;
    std::vector<std::string> shutdowns_;
};

}  // namespace kestrom_sim
