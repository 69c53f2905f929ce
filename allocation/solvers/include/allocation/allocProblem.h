// The solver's work record: one per channel, reloaded by every solve.
#pragma once

#include <memory>
#include <vector>

#include "allocation/forceMom.h"

class SolverWorkspace;  // the energy minimiser's scratch buffers (allocation/src)

// Holds the minimiser's buffers: made by the first solve that needs them, reused by every
// later one. They carry nothing from one solve to the next, so a copy starts without them.
class WorkspaceHolder {
  public:
    WorkspaceHolder();
    WorkspaceHolder(const WorkspaceHolder&);
    WorkspaceHolder& operator=(const WorkspaceHolder&);
    WorkspaceHolder(WorkspaceHolder&&) noexcept;
    WorkspaceHolder& operator=(WorkspaceHolder&&) noexcept;
    ~WorkspaceHolder();

    SolverWorkspace& get();

  private:
    std::unique_ptr<SolverWorkspace> workspace_;
};

struct allocProblem {
    forceMom demand;  // extra holds the component mode
    // Fixed direction per thruster in the solver frame; negative or NaN means free.
    std::vector<double> barredAngles;
    std::vector<int> frozen;    // 1 = saturated and frozen in this solve
    int count = 0;              // number of thrusters
    WorkspaceHolder workspace;  // the minimiser's reusable buffers
};
