// The algebra of the minimiser's normal equations.
#include "NormalEquations.h"

#include <algorithm>
#include <cmath>

bool indexRows(const double* K, int N, int* start, int* cols) {
    bool finite = true;
    int e = 0;
    for (int r = 0; r < N; ++r) {
        start[r] = e;
        const double* row = K + at(r, 0, N);
        for (int c = 0; c < N; ++c) {
            if (row[c] != 0.0) {
                cols[e++] = c;
                finite = finite && std::isfinite(row[c]);
            }
        }
    }
    start[N] = e;
    return finite;
}

// M = Kt K, element (i, j) = sum over k of K[k][i] * K[k][j], k ascending, formed for
// i <= j and mirrored (the same products in the same order). With K finite a row k where
// either column is zero adds a signed zero, which cannot change a sum that started at
// +0.0, so each row k adds only the products of its own nonzero entries, pair by pair.
void normalMatrix(const double* K, int N, bool finite, const int* start, const int* cols,
                  double* M) {
    if (finite) {
        for (int i = 0; i < N; ++i) {
            std::fill(M + at(i, i, N), M + at(i, N, N), 0.0);
        }
        for (int k = 0; k < N; ++k) {
            const double* row = K + at(k, 0, N);
            for (int e = start[k]; e < start[k + 1]; ++e) {
                const int i = cols[e];
                const double Kki = row[i];
                double* Mi = M + at(i, 0, N);
                for (int f = e; f < start[k + 1]; ++f) {
                    const int j = cols[f];
                    Mi[j] += Kki * row[j];
                }
            }
        }
        for (int i = 0; i < N; ++i) {
            for (int j = i + 1; j < N; ++j) {
                M[at(j, i, N)] = M[at(i, j, N)];
            }
        }
        return;
    }
    for (int i = 0; i < N; ++i) {
        for (int j = i; j < N; ++j) {
            double acc = 0.0;
            for (int k = 0; k < N; ++k) {
                acc += K[at(k, i, N)] * K[at(k, j, N)];
            }
            M[at(i, j, N)] = acc;
            M[at(j, i, N)] = acc;
        }
    }
}

// Splits the symmetric M into the rows that hold nothing but their diagonal entry (the
// variables of frozen thrusters and the idle variable of a fixed-direction thruster) and
// the dense block of the others, which the conjugate gradient then sweeps compactly.
SymmetricSplit splitNormalMatrix(const double* M, int N, SolverWorkspace& ws) {
    int* diagRows = ws.mDiagRows;
    double* diagValues = ws.mDiagValues;
    int* blockRows = ws.mBlockRows;
    int diagCount = 0;
    int blockCount = 0;
    for (int i = 0; i < N; ++i) {
        const double* row = M + at(i, 0, N);
        bool offDiagonal = false;
        for (int k = 0; k < N; ++k) {
            offDiagonal = offDiagonal || (k != i && row[k] != 0.0);
        }
        if (offDiagonal) {
            blockRows[blockCount++] = i;
        } else {
            diagRows[diagCount] = i;
            diagValues[diagCount++] = row[i];
        }
    }
    // Rows padded to an even length, so that the product can take them two at a time.
    const int stride = blockCount + (blockCount & 1);
    double* block = ws.mBlock;
    for (int c = 0; c < blockCount; ++c) {
        const double* row = M + at(blockRows[c], 0, N);
        double* out = block + at(c, 0, stride);
        for (int a = 0; a < blockCount; ++a) {
            out[a] = row[blockRows[a]];
        }
        for (int a = blockCount; a < stride; ++a) {
            out[a] = 0.0;
        }
    }
    SymmetricSplit split;
    split.diagRows = diagRows;
    split.diagValues = diagValues;
    split.diagCount = diagCount;
    split.blockRows = blockRows;
    split.blockCount = blockCount;
    split.block = block;
    split.blockStride = stride;
    return split;
}

// out = Kt b, entry i = sum over k of K[k][i] * b[k], k ascending. With K and b finite
// only the nonzero entries of rows k with b[k] nonzero add anything but signed zeros.
void transposedProduct(const double* K, int N, bool kFinite, const double* b, const int* start,
                       const int* cols, double* out) {
    bool finite = kFinite;
    for (int k = 0; k < N; ++k) {
        finite = finite && std::isfinite(b[k]);
    }
    if (finite) {
        std::fill(out, out + N, 0.0);
        for (int k = 0; k < N; ++k) {
            if (b[k] == 0.0) {
                continue;
            }
            const double* row = K + at(k, 0, N);
            for (int e = start[k]; e < start[k + 1]; ++e) {
                const int i = cols[e];
                out[i] += row[i] * b[k];
            }
        }
        return;
    }
    for (int i = 0; i < N; ++i) {
        double acc = 0.0;
        for (int k = 0; k < N; ++k) {
            acc += K[at(k, i, N)] * b[k];
        }
        out[i] = acc;
    }
}
