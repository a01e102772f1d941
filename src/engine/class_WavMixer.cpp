#include "engine/class_WavMixer.h"

#include "platform/trace/Trace.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

cMutex::cMutex()
{
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
    pthread_mutex_init(&Mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

cMutex::~cMutex()
{
    pthread_mutex_destroy(&Mutex);
}

namespace {

// How long the live renderer spins for the lock before it sleeps on it. Other threads only move
// pointers under the lock, for microseconds: spinning takes the lock the moment they let go, where
// a renderer asleep could get its CPU back only much later (a CPU busy in the kernel is not given
// up at once). A hold longer than this means the holder was preempted: sleeping then lends it the
// renderer's priority.
constexpr auto kRendererSpin = std::chrono::microseconds(200);

void CpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

} // namespace

void cMutex::lock()
{
    if (OnSoundThread() && SpinForLock())
        return;
    pthread_mutex_lock(&Mutex);
    Locked();
}

bool cMutex::SpinForLock()
{
    if (try_lock())
        return true;
    const auto until = std::chrono::steady_clock::now() + kRendererSpin;
    do {
        for (int i = 0; i < 64; ++i) {
            CpuRelax();
            if (try_lock())
                return true;
        }
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

bool cMutex::try_lock()
{
    if (pthread_mutex_trylock(&Mutex) != 0)
        return false;
    Locked();
    return true;
}

void cMutex::Locked()
{
    NoteMixerLocked();
    if (Depth++ == 0 && !OnSoundThread())
        HeldSince = std::chrono::steady_clock::now();
}

void cMutex::unlock()
{
    NoteMixerUnlocked();
    if (--Depth == 0 && !OnSoundThread()) {
        const int64_t held = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now() - HeldSince).count();
        if (held > LongestHoldNs.load(std::memory_order_relaxed))
            LongestHoldNs.store(held, std::memory_order_relaxed);
    }
    pthread_mutex_unlock(&Mutex);
}

int64_t cMutex::TakeLongestHoldNs()
{
    return LongestHoldNs.exchange(0, std::memory_order_relaxed);
}

namespace {

// The source's conversion buffer, grown (never shrunk) to hold `bytes`.
int16_t* ConversionBuffer(cFileSoundSource& source, int64_t bytes)
{
    if (source.ConvertBufferSize < bytes) {
        source.ConvertBuffer = std::make_unique<int16_t[]>(static_cast<size_t>((bytes + 1) / 2));
        source.ConvertBufferSize = bytes;
    }
    return source.ConvertBuffer.get();
}

} // namespace

void ReadConverted(cFileSoundSource& source, void* destination, int64_t k, const SoundFormat& output)
{
    CheckSoundThread();
    const int sourceChannels = static_cast<int>(source.ChannelInfo.channels);
    auto* out = static_cast<int16_t*>(destination);
    if (sourceChannels == output.Channels) {
        source.Read(destination, k);
    } else if (output.Channels == 1 && sourceChannels == 2) {
        const int16_t* stereo = ConversionBuffer(source, 2 * k);
        source.Read(source.ConvertBuffer.get(), 2 * k);
        for (int64_t i = 0; i < k / 2; ++i)
            out[i] = static_cast<int16_t>(stereo[2 * i] / 2 + stereo[2 * i + 1] / 2);
    } else if (output.Channels == 2 && sourceChannels == 1) {
        const int16_t* mono = ConversionBuffer(source, k / 2);
        source.Read(source.ConvertBuffer.get(), k / 2);
        for (int64_t i = 0; i < k / 4; ++i)
            out[2 * i] = out[2 * i + 1] = mono[i];
    } else {
        std::memset(destination, 0, static_cast<size_t>(k));
    }
}

void MixAdd16(void* out, const void* in, int64_t k)
{
    CheckSoundThread();
    auto* target = static_cast<int16_t*>(out);
    const auto* add = static_cast<const int16_t*>(in);
    for (int64_t i = 0; i < k / 2; ++i) {
        const int32_t sum = int32_t{target[i]} + add[i];
        target[i] = static_cast<int16_t>(std::clamp(sum, -32767, 32767));
    }
}

cSoundEvents::cSoundEvents()
{
    Active.reserve(kRoom);
    Spare.reserve(kRoom);
    for (size_t i = 0; i < kRoom; ++i)
        Spare.push_back(std::make_unique<cSoundEvent>());
}

cSoundEvent* cSoundEvents::Get(int32_t i) const
{
    return i >= 0 && i < Count() ? Active[static_cast<size_t>(i)].get() : nullptr;
}

cSoundEvent* cSoundEvents::Add()
{
    if (Spare.empty())
        return nullptr;
    Active.push_back(std::move(Spare.back()));
    Spare.pop_back();
    *Active.back() = cSoundEvent();
    return Active.back().get();
}

void cSoundEvents::Delete(int32_t i)
{
    if (i < 0 || i >= Count())
        return;
    Spare.push_back(std::move(Active[static_cast<size_t>(i)]));
    Active.erase(Active.begin() + i);
}

void cSourceBin::Put(std::unique_ptr<cFileSoundSource> source)
{
    CheckSoundThread();
    if (Enabled && source && Count < kRoom)
        Sources[Count++] = std::move(source);
}

void cSourceBin::MoveTo(SourceList& out)
{
    for (size_t i = 0; i < Count; ++i)
        out.push_back(std::move(Sources[i]));
    Count = 0;
}

void cWavMixer::AddWave(std::unique_ptr<cFileSoundSource> source, float delay, int32_t id)
{
    CheckSoundThread();
    trace(TraceText() << "WavMix.AddWave id:" << id);
    if (!source)
        return;
    std::lock_guard<cMutex> lock(Mutex);
    if (id != -1) {
        for (const auto& event : Events)
            if (event->RowId == id) {
                Retired.Put(std::move(source)); // a row never sounds twice at once
                return;
            }
    }
    cSoundEvent* event = Events.Add();
    if (!event) {
        Retired.Put(std::move(source));
        return;
    }
    event->RowId = id;
    event->Source = std::move(source);
    event->StartDelay = delay;
}

void cWavMixer::Clear(SourceList& retired)
{
    std::lock_guard<cMutex> lock(Mutex);
    while (Events.Count() > 0) {
        const int32_t last = Events.Count() - 1;
        retired.push_back(std::move(Events.Get(last)->Source));
        Events.Delete(last);
    }
}

void cWavMixer::Clear()
{
    SourceList retired;
    retired.reserve(cSoundEvents::kRoom);
    Clear(retired);
}

void cWavMixer::ReserveBlock(int64_t bytes)
{
    // Made before the lock is taken and swapped in under it; the block left over (the old one, or
    // the new one when the old was large enough) is freed after it is let go.
    auto block = std::make_unique<int16_t[]>(static_cast<size_t>((std::max<int64_t>(bytes, 0) + 1) / 2));
    std::lock_guard<cMutex> lock(Mutex);
    if (bytes > BufferSize) {
        std::swap(Buffer, block);
        BufferSize = bytes;
    }
}

void cWavMixer::EnsureBuffer(int64_t n)
{
    if (n <= BufferSize)
        return;
    Buffer = std::make_unique<int16_t[]>(static_cast<size_t>((n + 1) / 2));
    BufferSize = n;
}

void cWavMixer::MixBlock(void* out, int64_t n)
{
    CheckSoundThread();
    const int64_t bytesPerSecond = BytesPerSecond(Format);
    if (n <= 0 || bytesPerSecond <= 0)
        return;
    EnsureBuffer(n);
    const float blockSeconds = static_cast<float>(n) / bytesPerSecond;
    auto* output = static_cast<uint8_t*>(out);
    std::lock_guard<cMutex> lock(Mutex);
    for (int32_t i = Events.Count() - 1; i >= 0; --i) {
        cSoundEvent* event = Events.Get(i);
        if (!event)
            continue;
        if (event->StartDelay == 0) {
            Fill(*event->Source, output, n);
        } else if (event->StartDelay >= blockSeconds) {
            event->StartDelay -= blockSeconds;
        } else {
            // The nearest frame: truncating the float delay twice (to microseconds, then to
            // frames) would start a row one frame early whenever the delay is a hair short.
            const int64_t frames = SaturateToInt64(std::nearbyint(event->StartDelay * static_cast<double>(Format.Frequency)));
            const int64_t offset = std::clamp<int64_t>(frames * FrameBytes(Format), 0, n);
            Fill(*event->Source, output + offset, n - offset);
            event->StartDelay = 0;
        }
        if (event->Source->Finished) {
            Retired.Put(std::move(event->Source));
            Events.Delete(i);
        }
    }
}

// The duration of m bytes in whole microseconds, carrying the remainder to the source's next block:
// short blocks would otherwise let a fragment overrun its end.
int64_t cWavMixer::TakeBlockMcs(cFileSoundSource& source, int64_t m) const
{
    CheckSoundThread();
    const int64_t bytesPerSecond = BytesPerSecond(Format);
    const int64_t scaled = m * 1000000 + source.CountdownCarry;
    source.CountdownCarry = scaled % bytesPerSecond;
    return scaled / bytesPerSecond;
}

void cWavMixer::CountAsPlayed(cFileSoundSource& source, int64_t n) const
{
    CheckSoundThread();
    if (BytesPerSecond(Format) > 0)
        source.RemainingMcs -= TakeBlockMcs(source, n);
}

void cWavMixer::Fill(cFileSoundSource& source, uint8_t* out, int64_t m)
{
    CheckSoundThread();
    const int64_t bytesPerSecond = BytesPerSecond(Format);
    const int64_t carry = source.CountdownCarry;
    const int64_t blockMcs = TakeBlockMcs(source, m);
    if (source.RemainingMcs > blockMcs) {
        ReadConverted(source, Buffer.get(), m, Format);
        source.RemainingMcs -= blockMcs;
    } else {
        // The fragment ends in this block: its last samples, then silence. The carry is time the
        // earlier blocks used beyond what they counted down; taking it off the remaining time puts
        // the last frame where the fragment's length says whatever the block sizes were. (Here
        // RemainingMcs is at most one block, so the product cannot overflow.)
        const int64_t remaining = std::max<int64_t>(source.RemainingMcs, 0);
        const int64_t exactBytes = std::max<int64_t>(remaining * bytesPerSecond - carry, 0) / 1000000;
        const int64_t last = std::min(FrameAlign(exactBytes, Format), m);
        ReadConverted(source, Buffer.get(), last, Format);
        std::memset(reinterpret_cast<uint8_t*>(Buffer.get()) + last, 0, static_cast<size_t>(m - last));
        source.Finished = 1;
        source.RemainingMcs = 0;
    }
    MixAdd16(out, Buffer.get(), m);
}

void cWavMixer::UpdateRowParams(int32_t row, const MixParams* params)
{
    std::lock_guard<cMutex> lock(Mutex);
    for (const auto& event : Events) {
        if (event->RowId != row)
            continue;
        event->Source->MixParams = *params;
        event->Source->ApplyTempo();
    }
}
