// The settled NaN of the transforms (the transforms themselves are inline in Transforms.h).
#include "geometry/Transforms.h"

#include <limits>

double SettledNaN(std::initializer_list<double> Operands) {
    for (double V : Operands)
        if (std::isnan(V)) return std::copysign(std::numeric_limits<double>::quiet_NaN(), V);
    return -std::numeric_limits<double>::quiet_NaN();
}
