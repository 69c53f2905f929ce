// The tool's report on one published table.
#include "scenario/RequestReport.h"

#include "allocation/ThrustFrame.h"

namespace kestrom_sim {

RequestReport reportRequest(const std::vector<::ThrusterRow>& rows,
                            const std::vector<PublishedCells>& published,
                            const std::array<double, 3>& demand,
                            const std::array<float, 3>& generated, double tolerance) {
    RequestReport report;
    for (std::size_t i = 0; i < rows.size() && i < published.size(); ++i) {
        if (!isActiveRow(rows[i].active)) {
            continue;
        }
        // The arms as the channel builds its thruster: forward from z, sideways from x.
        const forceMom thrust = rowThrust(published[i].force, published[i].angle,
                                          rows[i].position[2], rows[i].position[0]);
        report.tableThrust.fwd += thrust.fwd;
        report.tableThrust.swd += thrust.swd;
        report.tableThrust.rot += thrust.rot;
    }
    report.arm = largestArm(rows);
    report.verdict = judgeThrust(forceMom(demand[0], demand[1], demand[2], 0.0), report.tableThrust,
                                 report.arm, tolerance);
    const forceMom generatedThrust(generated[0], generated[1], generated[2], 0.0);
    report.tableMatchesGenerated =
        judgeThrust(generatedThrust, report.tableThrust, report.arm, tolerance).met;
    if (!report.tableMatchesGenerated) {
        for (std::size_t i = 0; i < rows.size() && i < published.size(); ++i) {
            if (isActiveRow(rows[i].active) && published[i].force == 0.0f) {
                report.zeroRows.push_back(static_cast<int>(i));
            }
        }
    }
    return report;
}

}  // namespace kestrom_sim
