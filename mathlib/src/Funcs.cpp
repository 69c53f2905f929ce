// Funcs::conjgrad: the checked entry to the conjugate-gradient kernel.
#include "mathlib/Funcs.h"

#include <vector>

#include "mathlib/FixedTextError.h"
#include "mathlib/conjgradKernel.h"

DoubleVector Funcs::conjgrad(const Matrix& A, const DoubleVector& b) {
    if (static_cast<unsigned int>(A.rows()) != b.size()) {
        throw FixedTextError(
            "Error in Class:Funcs Function:conjgrad. Incorrect Matrix/vector size to apply the "
            "Conjugate Gradient Algorithm.");
    }
    if (A.cols() != A.rows()) {
        // b has A.rows() entries, so the product rejects the column count with its own text.
        return A * b;
    }
    const int n = A.rows();
    std::vector<double> x(static_cast<std::size_t>(n));
    CgWorkspace ws;
    conjgradKernel(A.data(), n, b.data(), x.data(), ws);
    return DoubleVector(std::move(x));
}
