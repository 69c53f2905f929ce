// The conjugate-gradient iteration on raw arrays.
#include "mathlib/conjgradKernel.h"

#include <cmath>
#include <cstddef>
#include <limits>

// Packed double arithmetic is part of every x86-64 processor; elsewhere plain loops serve.
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KESTROM_CG_SSE2 1
#else
#define KESTROM_CG_SSE2 0
#endif

namespace {

constexpr double kTolerance = 0.001;
// Beyond this many iterations the routine settles for its best solution.
constexpr int kIterationLimit = 250;

// A NaN fails the comparison as well as an infinity. Used branch-free inside the loops
// that produce the vectors, so that they still vectorise.
inline int notFinite(double v) {
    return !(std::fabs(v) <= std::numeric_limits<double>::max());
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

// Rows a0 .. a0+B-1 of the block product. The block is symmetric, so block[a][c] is read
// as block[c][a] and each step over c loads B neighbouring doubles; every lane of a
// register is one row's own sum, advancing with c ascending, so each sum keeps its order.
// (Left to itself the compiler vectorises the loop over c as an in-order reduction, one
// scalar chain per row.) Sums of padding rows are dropped.
template <int B>
void blockRows(const SymmetricSplit& split, const double* v, int a0, double* out) {
    const int m = split.blockCount;
    const int stride = split.blockStride;
    const int* rows = split.blockRows;
#if KESTROM_CG_SSE2
    __m128d acc[B / 2];
    for (int l = 0; l < B / 2; ++l) {
        acc[l] = _mm_setzero_pd();
    }
    for (int c = 0; c < m; ++c) {
        const double* column = split.block + static_cast<std::size_t>(c) * stride + a0;
        const __m128d vc = _mm_set1_pd(v[rows[c]]);
        for (int l = 0; l < B / 2; ++l) {
            acc[l] = _mm_add_pd(acc[l], _mm_mul_pd(_mm_loadu_pd(column + 2 * l), vc));
        }
    }
    double sums[B];
    for (int l = 0; l < B / 2; ++l) {
        _mm_storeu_pd(sums + 2 * l, acc[l]);
    }
#else
    double sums[B];
    for (int l = 0; l < B; ++l) {
        sums[l] = 0.0;
    }
    for (int c = 0; c < m; ++c) {
        const double* column = split.block + static_cast<std::size_t>(c) * stride + a0;
        const double vc = v[rows[c]];
        for (int l = 0; l < B; ++l) {
            sums[l] += column[l] * vc;
        }
    }
#endif
    for (int l = 0; l < B && a0 + l < m; ++l) {
        out[rows[a0 + l]] = sums[l];
    }
}

// out = A v through the split, for a finite v. A term left out is a signed zero times a
// finite value, and adding a signed zero never changes a sum that started at +0.0 (such a
// sum is never -0.0), so each entry equals the full row product.
void multiplySplit(const SymmetricSplit& split, const double* v, double* out) {
    // Sixteen rows at a time keep enough independent sums in flight to hide the latency
    // of the additions.
    const int padded = split.blockCount + (split.blockCount & 1);
    int a0 = 0;
    for (; a0 + 16 <= padded; a0 += 16) {
        blockRows<16>(split, v, a0, out);
    }
    if (a0 + 8 <= padded) {
        blockRows<8>(split, v, a0, out);
        a0 += 8;
    }
    if (a0 + 4 <= padded) {
        blockRows<4>(split, v, a0, out);
        a0 += 4;
    }
    if (a0 < padded) {
        blockRows<2>(split, v, a0, out);
    }
    for (int e = 0; e < split.diagCount; ++e) {
        const int i = split.diagRows[e];
        // 0.0 + turns a -0.0 product into the +0.0 that the full sum gives.
        out[i] = 0.0 + split.diagValues[e] * v[i];
    }
}

// Times inf or NaN a signed zero is NaN and changes the sum, so then every term is used.
void multiply(const double* A, int n, const double* v, bool finite, double* out,
              const SymmetricSplit* split) {
    if (split != nullptr && finite) {
        multiplySplit(*split, v, out);
    } else {
        multiplyRows(A, n, v, out);
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

}  // namespace

void CgWorkspace::reserve(int n) {
    const std::size_t size = 6 * static_cast<std::size_t>(n);
    if (capacity_ < size) {
        vectors_.reset(new double[size]);
        capacity_ = size;
    }
}

void conjgradKernel(const double* A, int n, const double* b, double* x, CgWorkspace& ws,
                    const SymmetricSplit* split) {
    ws.reserve(n);
    const auto size = static_cast<std::size_t>(n);
    double* r = ws.vectors_.get();
    double* p = r + size;
    double* q = p + size;
    double* Ap = q + size;
    double* Aq = Ap + size;
    double* xBest = Aq + size;

    int bad = 0;
    for (int i = 0; i < n; ++i) {
        r[i] = b[i];
        p[i] = b[i];
        x[i] = 0.0;
        bad |= notFinite(b[i]);
    }
    // Only the squared norm of the previous residual is ever needed.
    double rOldSq = dot(r, r, n);

    // A step with p.(A p) exactly 0 would divide by zero (b = 0 gives 0/0); the current x
    // is returned instead, which for b = 0 is the exact solution.
    multiply(A, n, p, bad == 0, Ap, split);
    double pAp = dot(Ap, p, n);
    if (pAp == 0.0) {
        return;
    }
    double alpha = rOldSq / pAp;
    bad = 0;
    for (int i = 0; i < n; ++i) {
        x[i] = p[i] * alpha;
        bad |= notFinite(x[i]);
    }
    // The residual update multiplies A by alpha*p formed anew (here equal to x), not by
    // the scaled A p.
    multiply(A, n, x, bad == 0, Aq, split);
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
        bad = 0;
        for (int i = 0; i < n; ++i) {
            p[i] = r[i] + p[i] * beta;
            bad |= notFinite(p[i]);
        }
        multiply(A, n, p, bad == 0, Ap, split);
        pAp = dot(Ap, p, n);
        if (pAp == 0.0) {
            return;
        }
        alpha = rSq / pAp;
        bad = 0;
        for (int i = 0; i < n; ++i) {
            q[i] = p[i] * alpha;
            x[i] += q[i];
            bad |= notFinite(q[i]);
        }
        rOldSq = rSq;
        multiply(A, n, q, bad == 0, Aq, split);
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
