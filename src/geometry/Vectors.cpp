// The settled NaN of the vector and matrix arithmetic (the arithmetic itself is inline in the
// header).
#include "geometry/Vectors.h"

#include <limits>

double SettledNaN(std::initializer_list<double> Operands) {
    for (double V : Operands)
        if (std::isnan(V)) return std::copysign(std::numeric_limits<double>::quiet_NaN(), V);
    return -std::numeric_limits<double>::quiet_NaN();
}
