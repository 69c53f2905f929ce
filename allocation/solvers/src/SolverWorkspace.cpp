// The minimiser's scratch memory: two blocks carved into its buffers.
#include "SolverWorkspace.h"

#include "allocation/allocProblem.h"

void SolverWorkspace::reserve(int n) {
    const std::size_t nn = 2 * static_cast<std::size_t>(n);
    const std::size_t N = nn + 3;
    if (terms.size() < static_cast<std::size_t>(n)) {
        terms.resize(static_cast<std::size_t>(n));
    }
    const std::size_t doubleCount = nn + 2 * N * N + N * (N + 1) + 5 * N;
    if (doubleCapacity_ < doubleCount) {
        doubles_.reset(new double[doubleCount]);
        doubleCapacity_ = doubleCount;
    }
    const std::size_t intCount = (N + 1) + N * N + 2 * N;
    if (intCapacity_ < intCount) {
        ints_.reset(new int[intCount]);
        intCapacity_ = intCount;
    }
    double* d = doubles_.get();
    auto takeDoubles = [&d](std::size_t size) {
        double* first = d;
        d += size;
        return first;
    };
    X = takeDoubles(nn);
    K = takeDoubles(N * N);
    M = takeDoubles(N * N);
    mBlock = takeDoubles(N * (N + 1));
    mDiagValues = takeDoubles(N);
    b = takeDoubles(N);
    rhs = takeDoubles(N);
    S = takeDoubles(N);
    P = takeDoubles(N);
    int* k = ints_.get();
    auto takeInts = [&k](std::size_t size) {
        int* first = k;
        k += size;
        return first;
    };
    kRowStart = takeInts(N + 1);
    kRowCols = takeInts(N * N);
    mDiagRows = takeInts(N);
    mBlockRows = takeInts(N);
    cg.reserve(static_cast<int>(N));
}

WorkspaceHolder::WorkspaceHolder() = default;
WorkspaceHolder::WorkspaceHolder(const WorkspaceHolder&) {}
WorkspaceHolder& WorkspaceHolder::operator=(const WorkspaceHolder& other) {
    if (this != &other) {
        workspace_.reset();
    }
    return *this;
}
WorkspaceHolder::WorkspaceHolder(WorkspaceHolder&&) noexcept = default;
WorkspaceHolder& WorkspaceHolder::operator=(WorkspaceHolder&&) noexcept = default;
WorkspaceHolder::~WorkspaceHolder() = default;

SolverWorkspace& WorkspaceHolder::get() {
    if (!workspace_) {
        workspace_ = std::make_unique<SolverWorkspace>();
    }
    return *workspace_;
}
