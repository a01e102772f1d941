#include "model/class_MixData.h"

#include <algorithm>

long double cMixRow::PlayLength() const
{
    const long double divisor = 100.0L + MixParams.speed;
    if (divisor <= 0)
        return 0;
    return static_cast<long double>(length) * 100.0L / divisor;
}

float cmixdata::RowStart(int32_t i) const
{
    float sum = 0;
    const int32_t rows = std::min(i, Count());
    for (int32_t j = 0; j < rows; ++j) {
        const cMixRow* row = Get(j);
        sum = static_cast<float>(sum + row->PlayLength());
        if (row->overlap)
            sum = sum - row->overlaplen;
    }
    return sum;
}

float cmixdata::TotalLength() const
{
    const int32_t n = Count();
    if (n == 0)
        return 0;
    const float start = n >= 2 ? RowStart(n - 1) : 0.0f;
    return static_cast<float>(start + Last()->PlayLength());
}
