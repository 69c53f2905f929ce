// Assembly of the minimiser's system matrix.
#include "SystemMatrix.h"

#include <algorithm>
#include <cmath>

#include "NormalEquations.h"
#include "ThrusterTerms.h"
#include "allocation/Thrusterobj.h"

void assembleK(const allocProblem& problem, const Shipobj& ship, const DirectionTerms* terms, int n,
               double* K) {
    const int nn = 2 * n;
    const int N = nn + 3;
    std::fill(K, K + at(N, 0, N), 0.0);
    for (int j = 0; j < nn; ++j) {
        K[at(j, j, N)] = 2.0;
    }
    for (int i = 0; i < n; ++i) {
        const DirectionTerms& d = terms[i];
        if (d.kind != ThrusterKind::free) {
            // The two tests are independent: a forward-carried thruster keeps the energy
            // entry of its idle sideways variable unless sin v is tiny, and vice versa.
            K[at(i, i, N)] = std::fabs(d.cosv) >= kCarryLimit ? 2.0 / (d.cosv * d.cosv) : 0.0;
            K[at(n + i, n + i, N)] =
                std::fabs(d.sinv) >= kCarryLimit ? 2.0 / (d.sinv * d.sinv) : 0.0;
        }
        const Thrusterobj& t = ship.thruster(static_cast<unsigned int>(i));
        double ci[3];
        double cn[3];
        constraintColumns(d, problem.frozen[i] != 0, t.posX(), t.posY(), ci, cn);
        for (int k = 0; k < 3; ++k) {
            K[at(nn + k, i, N)] = ci[k];
            K[at(nn + k, n + i, N)] = cn[k];
            K[at(i, nn + k, N)] = ci[k] * -1.0;
            K[at(n + i, nn + k, N)] = cn[k] * -1.0;
        }
    }
}
