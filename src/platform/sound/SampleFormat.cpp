#include "platform/sound/SampleFormat.h"

#include <algorithm>

int64_t FrameBytes(const PcmShape& format)
{
    return format.Bits / 8 * format.Channels;
}

int64_t BytesPerSecond(const PcmShape& format)
{
    return format.Rate * format.Channels * format.Bits / 8;
}

int64_t FrameAlign(int64_t bytes, const PcmShape& format)
{
    const int64_t frame = FrameBytes(format);
    return frame > 0 ? bytes / frame * frame : 0;
}

int64_t BytesForMicroseconds(const PcmShape& format, int64_t microseconds)
{
    const int64_t bytesPerSecond = BytesPerSecond(format);
    if (microseconds <= 0 || bytesPerSecond <= 0)
        return 0;
    // Seconds and the rest apart, so that no product overflows.
    const int64_t bytes =
        microseconds / 1000000 * bytesPerSecond + microseconds % 1000000 * bytesPerSecond / 1000000;
    return FrameAlign(bytes, format);
}

int64_t BytesForSeconds(const PcmShape& format, float seconds)
{
    const double bytes = double(format.Rate) * seconds * double(format.Channels) * double(format.Bits) * 0.125;
    if (!(bytes > 0))
        return 0;
    return FrameAlign(static_cast<int64_t>(std::min(bytes, 9.0e18)), format);
}
