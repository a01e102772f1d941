#include "model/class_MixRender.h"

#include <mutex>

void cMixRender::Begin(cWavProducer& producer, cmixdata& rows, const SoundFormat& format)
{
    {
        std::lock_guard<cMutex> lock(producer.WavMix.Mutex);
        producer.Stopped = 1;
        if (!producer_)
            saved_ = producer.WavMix.Format;
        producer_ = &producer;
        producer.WavMix.Format = SoundFormat{format.Channels, format.Frequency, format.Bits, saved_.Device};
    }
    // Outside the lock: the needle opens the rows' files, and the sound thread must not wait.
    producer.SetNeedlePos(rows, 0.0f, false, -1);
}

void cMixRender::End()
{
    if (!producer_)
        return;
    std::lock_guard<cMutex> lock(producer_->WavMix.Mutex);
    producer_->Stopped = 1;
    producer_->WavMix.Format = saved_;
    producer_ = nullptr;
}
