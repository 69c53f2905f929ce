// The tool's report on a published table, against a table worked by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "scenario/RequestReport.h"

namespace {

using kestrom_sim::reportRequest;

// Row 0 pushes 100 N ahead from 2 m to port and 10 m aft: it turns the bow to starboard by
// 200 N m. Row 1 pushes 50 N to starboard from 5 m ahead: 50 N of sway to starboard (negative,
// port being positive) and 250 N m more to starboard; its height of 100 m adds no arm. Row 2
// is inactive and pushes nothing: its arm does not count either.
std::vector<ThrusterRow> twoRows() {
    std::vector<ThrusterRow> rows(3);
    rows[0].active = rows[1].active = 1;
    rows[0].position[0] = 2, rows[0].position[2] = -10;
    rows[1].position[1] = 100, rows[1].position[2] = 5;
    rows[2].position[2] = 40;
    return rows;
}
const std::vector<kestrom_sim::PublishedCells> kPublished = {
    {100.0f, 0.0f}, {50.0f, 1.5707964f}, {1000.0f, 0.0f}};

TEST(RequestReport, TableThrustOfTwoRowsWorkedByHand) {
    const auto report =
        reportRequest(twoRows(), kPublished, {100, -50, -450}, {100, -50, -450}, 0.01);
    EXPECT_NEAR(report.tableThrust.fwd, 100.0, 1e-5);
    EXPECT_NEAR(report.tableThrust.swd, -50.0, 1e-5);
    EXPECT_NEAR(report.tableThrust.rot, -450.0, 1e-4);
    EXPECT_NEAR(report.arm, std::sqrt(104.0), 1e-6);
    EXPECT_TRUE(report.verdict.met);
    EXPECT_TRUE(report.tableMatchesGenerated);
    EXPECT_TRUE(report.zeroRows.empty());
}

// Row 1 written as 0 (its direction out of range) while "Thrust Generated" still counts it:
// the table gives (100, 0, -200), which misses the demand and the generated thrust.
TEST(RequestReport, RowPublishedAsZeroIsNamed) {
    auto published = kPublished;
    published[1].force = 0.0f;
    const auto report =
        reportRequest(twoRows(), published, {100, -50, -450}, {100, -50, -450}, 0.01);
    EXPECT_NEAR(report.tableThrust.swd, 0.0, 1e-5);
    EXPECT_NEAR(report.verdict.shortfall.rot, -250.0, 1e-4);
    EXPECT_FALSE(report.verdict.met);
    EXPECT_FALSE(report.tableMatchesGenerated);
    EXPECT_EQ(report.zeroRows, std::vector<int>{1});
}

}  // namespace
