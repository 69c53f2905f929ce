// The channel's 18 links (index, type, name, direction) and the layout of the host's thruster
// table that its column links stand for. Plain constant data without any dependency, so that
// the channel, the host tools, the tests, the benches and the fuzz targets share one list.
#pragma once

namespace kestrom_links {

// Link indexes, in creation order. Texts shown to the user count from 1.
enum Link : unsigned int {
    kNumberOfThrusters = 0,
    kRowIndex = 1,
    kForceColumn = 2,
    kAngleColumn = 3,
    kPositionColumn = 4,
    kTypeColumn = 5,
    kActiveColumn = 6,
    kMaxForceColumn = 7,
    kReversePenaltyColumn = 8,
    kStartAngleColumn = 9,
    kMaxRotationColumn = 10,
    kThrustNeeded = 11,
    kThrustGenerated = 12,
    kEnergyGenerated = 13,
    kActionInExtrema = 14,
    kPreviousActive = 15,
    kErrorMessage = 16,
    kErrorFlag = 17,
    kLinkCount = 18
};

enum class LinkKind { value, vector, text };

struct LinkDeclaration {
    LinkKind kind;
    const char* name;
    int direction;  // 1: the channel reads the link, 0: writes it, 2: both
};

// Indexed by Link.
inline constexpr LinkDeclaration kLinks[kLinkCount] = {
    {LinkKind::value, "Number of Thrusters", 1},
    {LinkKind::value, "ThrusterArrayRowIndex", 0},
    {LinkKind::value, "ForceColumn in ThrusterArray", 2},
    {LinkKind::value, "AngleColumn in ThrusterArray (RAD)", 2},
    {LinkKind::vector, "RelPositionColumn in ThrusterArray", 1},
    {LinkKind::value, "TypeColumn in ThrusterArray", 1},
    {LinkKind::value, "IsActiveColumn in ThrusterArray", 1},
    {LinkKind::value, "MaxForceColumn in ThrusterArray", 1},
    {LinkKind::value, "ReversePenaltyColumn in ThrusterArray", 1},
    {LinkKind::value, "StartAngleColumn in ThrusterArray (RAD)", 1},
    {LinkKind::value, "MaxRotationColumn in ThrusterArray (RAD)", 1},
    {LinkKind::vector, "Thrust Needed (Fwd, Swd, Rot)", 1},
    {LinkKind::vector, "Thrust Generated (Fwd, Swd, Rot)", 0},
    {LinkKind::value, "Energy Generated", 0},
    {LinkKind::value, "Action in Extrema", 1},
    {LinkKind::value, "Number of active thrusters in previous calculation", 0},
    {LinkKind::text, "Error Message", 0},
    {LinkKind::value, "Error?", 0},
};

// The cells of one row of the host's thruster table. The position takes three cells (x the
// sideways arm, y the height, z the forward arm); every other column one.
enum TableCell : int {
    kForceCell = 0,
    kAngleCell = 1,
    kPositionCell = 2,  // x; y and z follow
    kTypeCell = 5,
    kActiveCell = 6,
    kMaxForceCell = 7,
    kReversePenaltyCell = 8,
    kStartAngleCell = 9,
    kMaxRotationCell = 10,
    kTableColumns = 11
};

// The first cell that a column link stands for, -1 for a link that is not a column.
constexpr int columnCell(unsigned int link) {
    return link >= kForceColumn && link <= kMaxRotationColumn
               ? static_cast<int>(link - kForceColumn) + (link > kPositionColumn ? 2 : 0)
               : -1;
}

static_assert(columnCell(kForceColumn) == kForceCell && columnCell(kAngleColumn) == kAngleCell &&
                  columnCell(kPositionColumn) == kPositionCell &&
                  columnCell(kTypeColumn) == kTypeCell &&
                  columnCell(kActiveColumn) == kActiveCell &&
                  columnCell(kMaxRotationColumn) == kMaxRotationCell &&
                  columnCell(kRowIndex) == -1 && columnCell(kThrustNeeded) == -1,
              "each column link stands for its cells of the table");

}  // namespace kestrom_links
