// The conjugate-gradient iteration on raw arrays.
#include "mathlib/conjgradKernel.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace {

constexpr double kTolerance = 0.001;
// Beyond this many iterations the routine settles for its best solution.
constexpr int kIterationLimit = 250;

// Branch-free so that it vectorises: a NaN fails the comparison as well as an infinity.
bool allFinite(const double* v, int n) {
    int bad = 0;
    for (int i = 0; i < n; ++i) {
        bad |= !(std::fabs(v[i]) <= std::numeric_limits<double>::max());
    }
    return bad == 0;
}

// out = A v row by row, each entry summed from 0.0 with k ascending.
void multiplyRows(const double* A, int n, const double* v, double* out) {
    for (int i = 0; i < n; ++i) {
        const double* row = A + static_cast<std::size_t>(i) * n;
        double acc = 0.0;
        for (int k = 0; k < n; ++k) {
            acc += row[k] * v[k];
        }
        out[i] = acc;
    }
}

// Rows i0 .. i0+B-1 of A v for a symmetric A: A[i][k] is read as A[k][i], so each step
// over k loads B neighbouring doubles, and the B sums advance independently.
template <int B>
void columnBlock(const double* A, int n, const double* v, const int* cols, int count, int i0,
                 double* out) {
    double acc[B];
    for (int l = 0; l < B; ++l) {
        acc[l] = 0.0;
    }
    for (int e = 0; e < count; ++e) {
        const int k = cols[e];
        const double* column = A + static_cast<std::size_t>(k) * n + i0;
        const double vk = v[k];
        for (int l = 0; l < B; ++l) {
            acc[l] += column[l] * vk;
        }
    }
    for (int l = 0; l < B; ++l) {
        out[i0 + l] = acc[l];
    }
}

// out = A v for a symmetric A over the listed columns, k ascending in every sum.
void multiplyColumns(const double* A, int n, const double* v, const int* cols, int count,
                     double* out) {
    int i0 = 0;
    for (; i0 + 8 <= n; i0 += 8) {
        columnBlock<8>(A, n, v, cols, count, i0, out);
    }
    if (i0 + 4 <= n) {
        columnBlock<4>(A, n, v, cols, count, i0, out);
        i0 += 4;
    }
    if (i0 + 2 <= n) {
        columnBlock<2>(A, n, v, cols, count, i0, out);
        i0 += 2;
    }
    if (i0 < n) {
        columnBlock<1>(A, n, v, cols, count, i0, out);
    }
}

// An all-zero column times a finite value adds signed zeros, which cannot change a sum
// that started at +0.0; times inf or NaN it would not, so then every column is used.
void multiply(const double* A, int n, const double* v, double* out, const SymmetricPattern* pattern,
              const int* allCols) {
    if (pattern == nullptr) {
        multiplyRows(A, n, v, out);
    } else if (allFinite(v, n)) {
        multiplyColumns(A, n, v, pattern->cols, pattern->count, out);
    } else {
        multiplyColumns(A, n, v, allCols, n, out);
    }
}

double dot(const double* a, const double* b, int n) {
    double acc = 0.0;
    for (int i = 0; i < n; ++i) {
        acc += a[i] * b[i];
    }
    return acc;
}

// Largest |v_i|; NaN entries are passed over, so the result is never NaN.
double maxNorm(const double* v, int n) {
    double m = 0.0;
    for (int i = 0; i < n; ++i) {
        const double a = std::fabs(v[i]);
        if (a > m) {
            m = a;
        }
    }
    return m;
}

template <typename T>
void grow(std::vector<T>& v, int n) {
    if (v.size() < static_cast<std::size_t>(n)) {
        v.resize(static_cast<std::size_t>(n));
    }
}

}  // namespace

void CgWorkspace::reserve(int n) {
    for (std::vector<double>* v : {&r_, &p_, &q_, &Ap_, &Aq_, &xBest_}) {
        grow(*v, n);
    }
    const int filled = static_cast<int>(allCols_.size());
    grow(allCols_, n);
    for (int k = filled; k < n; ++k) {
        allCols_[k] = k;
    }
}

void conjgradKernel(const double* A, int n, const double* b, double* x, CgWorkspace& ws,
                    const SymmetricPattern* pattern) {
    ws.reserve(n);
    double* r = ws.r_.data();
    double* p = ws.p_.data();
    double* q = ws.q_.data();
    double* Ap = ws.Ap_.data();
    double* Aq = ws.Aq_.data();
    double* xBest = ws.xBest_.data();
    const int* allCols = ws.allCols_.data();

    for (int i = 0; i < n; ++i) {
        r[i] = b[i];
        p[i] = b[i];
        x[i] = 0.0;
    }
    // Only the squared norm of the previous residual is ever needed.
    double rOldSq = dot(r, r, n);

    // A step with p.(A p) exactly 0 would divide by zero (b = 0 gives 0/0); the current x
    // is returned instead, which for b = 0 is the exact solution.
    multiply(A, n, p, Ap, pattern, allCols);
    double pAp = dot(Ap, p, n);
    if (pAp == 0.0) {
        return;
    }
    double alpha = rOldSq / pAp;
    for (int i = 0; i < n; ++i) {
        x[i] = p[i] * alpha;
    }
    // The residual update multiplies A by alpha*p formed anew (here equal to x), not by
    // the scaled A p.
    multiply(A, n, x, Aq, pattern, allCols);
    for (int i = 0; i < n; ++i) {
        r[i] -= Aq[i];
    }

    double err = maxNorm(r, n);
    double best = err;
    for (int i = 0; i < n; ++i) {
        xBest[i] = x[i];
    }
    double rSq = dot(r, r, n);
    int k = 0;
    while (err > kTolerance) {
        ++k;
        const double beta = rSq / rOldSq;
        for (int i = 0; i < n; ++i) {
            p[i] = r[i] + p[i] * beta;
        }
        multiply(A, n, p, Ap, pattern, allCols);
        pAp = dot(Ap, p, n);
        if (pAp == 0.0) {
            return;
        }
        alpha = rSq / pAp;
        for (int i = 0; i < n; ++i) {
            q[i] = p[i] * alpha;
            x[i] += q[i];
        }
        rOldSq = rSq;
        multiply(A, n, q, Aq, pattern, allCols);
        // The residual update, its maximum norm and the squared norm the next iteration
        // needs, in one pass: three independent chains, each in index order.
        err = 0.0;
        double nextSq = 0.0;
        for (int i = 0; i < n; ++i) {
            r[i] -= Aq[i];
            const double a = std::fabs(r[i]);
            if (a > err) {
                err = a;
            }
            nextSq += r[i] * r[i];
        }
        rSq = nextSq;
        const bool improved = err < best;
        if (improved) {
            best = err;
            for (int i = 0; i < n; ++i) {
                xBest[i] = x[i];
            }
        }
        // Stopping on "not improved" rather than "err differs from best" also ends a
        // stagnating run (p.(A p) overflowing makes alpha 0 and the residual constant).
        if (k > kIterationLimit && !improved) {
            for (int i = 0; i < n; ++i) {
                x[i] = xBest[i];
            }
            return;
        }
    }
}
