// Comparing a produced thrust with the demand: the result check and the difference that
// barring ranks its outcomes by.
#pragma once

#include "allocation/forceMom.h"

// Whether one achieved component matches its requested value: relative error for requests
// of magnitude `threshold` or more, absolute error below; passes when the error is under
// `tolerance` (a NaN error fails).
bool checkresult(double requested, double achieved, double threshold, double tolerance);

// checkresult on fwd, swd and rot in turn; extra is not compared.
bool checkresult(const forceMom& requested, const forceMom& achieved, double threshold,
                 double tolerance);

// |a.fwd - b.fwd| + |a.swd - b.swd| + |a.rot - b.rot|.
double getDiff(const forceMom& a, const forceMom& b);
