#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace demo {

// The value below which `fraction` of the values lie (nearest rank); 0 for no values.
inline double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index =
        static_cast<size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::min(values.size() - 1, index == 0 ? 0 : index - 1)];
}

}  // namespace demo
