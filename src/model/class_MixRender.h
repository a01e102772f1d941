#pragma once

#include "model/class_WavProducer.h"

// A render of the whole mix into a file: the mixer takes the render's format with the needle at
// 0 s and triggers ignored, and gets its live format back at the end, whatever "OutputFrequency"
// says meanwhile. Used by the export and the CD image.
class cMixRender {
public:
    cMixRender() = default;
    cMixRender(const cMixRender&) = delete;
    cMixRender& operator=(const cMixRender&) = delete;
    ~cMixRender() { End(); }

    void Begin(cWavProducer& producer, cmixdata& rows, const SoundFormat& format);
    void End(); // harmless when no render is under way

private:
    cWavProducer* producer_ = nullptr;
    SoundFormat saved_;
};
