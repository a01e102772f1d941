// make_demo <folder>: writes three pieces of synthesised music and a demo project that mixes them
// (overlaps, fades, tempo, pitch and a mouse trigger), then prints the project's path.
// make_demo --test-wav-path: prints where the "towav" switches export to.
#include "model/class_Application.h"
#include "platform/sound/SoundEncoder.h"
#include "windows/form_Main.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kTwoPi = 2 * std::numbers::pi;
// Peak of each piece: two overlapping rows (one at 110 % volume) must still stay below full scale.
constexpr float kPeak = 0.45f;

// A stereo piece of music as float samples.
struct Piece {
    explicit Piece(double seconds) : left(static_cast<size_t>(seconds * kRate)), right(left.size()) {}
    std::vector<float> left, right;

    size_t Frames() const { return left.size(); }

    // Adds a sound that starts at `start` seconds: voice(t) gives the sample t seconds into it.
    void Add(double start, double length, float pan, const std::function<double(double)>& voice)
    {
        const size_t first = static_cast<size_t>(start * kRate);
        const size_t count = static_cast<size_t>(length * kRate);
        const float gainLeft = std::cos((pan + 1) * std::numbers::pi_v<float> / 4);
        const float gainRight = std::sin((pan + 1) * std::numbers::pi_v<float> / 4);
        for (size_t i = 0; i < count && first + i < Frames(); ++i) {
            const auto value = static_cast<float>(voice(static_cast<double>(i) / kRate));
            left[first + i] += value * gainLeft;
            right[first + i] += value * gainRight;
        }
    }

    // A feedback echo that widens the sound: left and right repeat at different delays.
    void Echo(double delaySeconds, float feedback)
    {
        const size_t delay = static_cast<size_t>(delaySeconds * kRate);
        for (size_t i = delay; i < Frames(); ++i) {
            left[i] += right[i - delay] * feedback;
            right[i] += left[i - delay * 3 / 4] * feedback;
        }
    }

    void Normalise(float peak)
    {
        float highest = 1e-6f;
        for (size_t i = 0; i < Frames(); ++i)
            highest = std::max({highest, std::fabs(left[i]), std::fabs(right[i])});
        for (size_t i = 0; i < Frames(); ++i) {
            left[i] *= peak / highest;
            right[i] *= peak / highest;
        }
    }
};

double NoteHz(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

double Decay(double t, double halfLife)
{
    return std::exp2(-t / halfLife);
}

// Attack, then a slow decay: a soft pad or string note.
double Swell(double t, double length, double attack)
{
    const double rise = std::min(t / attack, 1.0);
    const double fall = std::clamp((length - t) / 0.4, 0.0, 1.0);
    return rise * fall;
}

// A few harmonics with falling weights: a warm, round tone.
double Warm(double hz, double t)
{
    return std::sin(kTwoPi * hz * t) + 0.35 * std::sin(kTwoPi * 2 * hz * t) + 0.15 * std::sin(kTwoPi * 3 * hz * t);
}

// Frequency modulation with a falling index: a bell.
double Bell(double hz, double t)
{
    const double index = 3.0 * Decay(t, 0.25);
    return std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * hz * 3.5 * t)) * Decay(t, 0.6);
}

// Am - F - C - G with a slow pad and a plucked arpeggio, 100 beats a minute.
Piece HarbourLights()
{
    const double beat = 0.6;
    Piece piece(34);
    const int chords[4][3] = {{57, 60, 64}, {53, 57, 60}, {48, 55, 64}, {55, 59, 62}};
    for (int bar = 0; bar < 14; ++bar) {
        const int* chord = chords[bar % 4];
        const double start = bar * 4 * beat;
        for (int n = 0; n < 3; ++n) {
            const double hz = NoteHz(chord[n] - 12);
            piece.Add(start, 4 * beat + 0.3, n - 1.0f,
                      [=](double t) { return 0.12 * Swell(t, 4 * beat + 0.3, 0.8) * (Warm(hz, t) + Warm(hz * 1.004, t)); });
        }
        for (int step = 0; step < 8; ++step) {
            const int note = chord[(step * 2 + bar) % 3] + (step % 4 == 3 ? 24 : 12);
            const double hz = NoteHz(note);
            piece.Add(start + step * beat / 2, 1.2, step % 2 ? 0.5f : -0.5f,
                      [=](double t) { return 0.18 * Decay(t, 0.18) * Warm(hz, t); });
        }
    }
    piece.Echo(0.45, 0.25f);
    piece.Normalise(kPeak);
    return piece;
}

// Kick, snare, hats and a walking bass, 110 beats a minute.
Piece CopperGroove()
{
    const double beat = 60.0 / 110;
    Piece piece(34);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1, 1);
    std::vector<double> noiseTable(kRate);
    for (double& value : noiseTable)
        value = noise(random);
    auto noiseAt = [&noiseTable](double t) { return noiseTable[static_cast<size_t>(t * kRate) % noiseTable.size()]; };
    const int bass[8] = {33, 33, 40, 43, 45, 43, 40, 38};
    for (int bar = 0; bar < 15; ++bar) {
        const double start = bar * 4 * beat;
        for (int b = 0; b < 4; ++b) {
            const double at = start + b * beat;
            if (b % 2 == 0 || (bar % 2 && b == 3))
                piece.Add(at, 0.4, 0, [](double t) {
                    const double hz = 45 + 75 * Decay(t, 0.03);
                    return 0.9 * Decay(t, 0.09) * std::sin(kTwoPi * hz * t);
                });
            if (b % 2 == 1)
                piece.Add(at, 0.3, 0.1f, [&](double t) {
                    return Decay(t, 0.05) * (0.45 * noiseAt(t) + 0.3 * std::sin(kTwoPi * 185 * t));
                });
            for (int half = 0; half < 2; ++half)
                piece.Add(at + half * beat / 2, 0.08, -0.4f, [&, half](double t) {
                    return (half ? 0.12 : 0.2) * Decay(t, 0.015) * (noiseAt(t + 0.3) - noiseAt(t + 0.30005));
                });
            const double hz = NoteHz(bass[(b + bar * 4) % 8] + (bar % 4 == 3 ? 5 : 0));
            piece.Add(at, beat * 0.9, 0, [=](double t) {
                return 0.4 * Swell(t, beat * 0.9, 0.01) * Decay(t, 0.4) * (Warm(hz, t) + 0.3 * Warm(hz * 2, t));
            });
        }
    }
    piece.Normalise(kPeak);
    return piece;
}

// A bell melody over a slow drone, 80 beats a minute, with a wide echo.
Piece GlassBells()
{
    const double beat = 0.75;
    Piece piece(34);
    const int melody[16] = {69, 72, 76, 74, 72, 69, 67, 69, 76, 79, 81, 79, 76, 74, 72, 74};
    for (int n = 0; n < 44; ++n) {
        const double hz = NoteHz(melody[n % 16]);
        piece.Add(n * beat, 2.5, (n % 3 - 1) * 0.6f, [=](double t) { return 0.35 * Bell(hz, t); });
    }
    for (int note : {45, 52, 57}) {
        const double hz = NoteHz(note);
        piece.Add(0, 34, 0, [=](double t) {
            const double tremolo = 0.8 + 0.2 * std::sin(kTwoPi * 0.2 * t + note);
            return 0.08 * tremolo * Swell(t, 34, 3) * Warm(hz, t);
        });
    }
    piece.Echo(0.5, 0.35f);
    piece.Normalise(kPeak);
    return piece;
}

// The sound is handed to the encoder directly: the stream itself is never read.
uint32_t NoSound(BassHandle, void*, uint32_t, void*)
{
    return 0;
}

// The demo's sources are written by the program's own WAV writer (the sound layer's encoder).
bool WriteWav(const std::string& path, const Piece& piece)
{
    std::vector<int16_t> samples;
    samples.reserve(piece.Frames() * 2);
    for (size_t i = 0; i < piece.Frames(); ++i) {
        for (float value : {piece.left[i], piece.right[i]})
            samples.push_back(static_cast<int16_t>(std::lround(std::clamp(value, -1.0f, 1.0f) * 32767)));
    }
    const BassHandle stream = BASS_StreamCreate(kRate, 2, BASS_STREAM_DECODE, NoSound, nullptr);
    bool written = stream && BASS_Encode_StartFile(stream, path, BASS_ENCODE_PCM);
    for (size_t done = 0; written && done < samples.size(); done += kRate * 2) {
        const size_t count = std::min<size_t>(kRate * 2, samples.size() - done);
        written = BASS_Encode_Write(stream, samples.data() + done, static_cast<uint32_t>(count * 2));
    }
    written = written && BASS_Encode_Stop(stream);
    if (stream)
        BASS_StreamFree(stream);
    return written;
}

struct RowSpec {
    int source;
    float start, length;
    int volume = 100;
    float speed = 0;
    int64_t pitch = 0;
    float fadeIn = 0, fadeOut = 0;
    float overlap = 0;
    int trigger = TriggerNone;
};

cBinItem* AddZone(cBin& bin, const std::string& title, float start, float length)
{
    cBinItem* zone = bin.Items.Add();
    zone->title = title;
    zone->filename = bin.filename;
    zone->start = start;
    zone->length = length;
    return zone;
}

void AddRow(const RowSpec& spec, const cBin& bin, int zoneIndex)
{
    const cBinItem& zone = *bin.Items.At(zoneIndex);
    cMixRow* row = snl.mixdata.Add();
    row->name = zone.title;
    row->filename = zone.filename;
    row->start = zone.start;
    row->length = zone.length;
    row->MixParams.volume = spec.volume;
    row->MixParams.speed = spec.speed;
    row->MixParams.pitch = spec.pitch;
    row->MixParams.fadein = spec.fadeIn > 0;
    row->MixParams.fadeinlength = spec.fadeIn;
    row->MixParams.fadeout = spec.fadeOut > 0;
    row->MixParams.fadeoutlength = spec.fadeOut;
    row->overlap = spec.overlap > 0;
    row->overlaplen = spec.overlap;
    row->trigger = spec.trigger;
}

int MakeDemo(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    struct Source {
        const char* title;
        const char* file;
        Piece (*make)();
    };
    const Source sources[] = {{"Harbour Lights", "harbour_lights.wav", HarbourLights},
                              {"Copper Groove", "copper_groove.wav", CopperGroove},
                              {"Glass Bells", "glass_bells.wav", GlassBells}};
    for (const Source& source : sources) {
        const std::string path = (folder / source.file).string();
        if (!WriteWav(path, source.make())) {
            std::cerr << "make_demo: can't write " << path << "\n";
            return 1;
        }
        cBin* bin = snl.Bins.Add();
        bin->title = source.title;
        // Named relative to the project file, so the demo folder plays wherever it is moved.
        bin->filename = source.file;
    }
    // Zones: the opening and the second half of every piece, named short enough for the grid.
    const char* zoneNames[3][2] = {{"Harbour intro", "Harbour theme"}, {"Groove A", "Groove B"},
                                   {"Bells rise", "Bells fall"}};
    for (int b = 0; b < 3; ++b) {
        AddZone(*snl.Bins.At(b), zoneNames[b][0], 0, 16);
        AddZone(*snl.Bins.At(b), zoneNames[b][1], 16, 16);
    }
    const RowSpec rows[] = {
        {.source = 0, .start = 0, .length = 16, .fadeIn = 3, .overlap = 3},
        {.source = 1, .start = 0, .length = 16, .volume = 90, .overlap = 2},
        {.source = 2, .start = 0, .length = 16, .pitch = 2000},
        {.source = 1, .start = 16, .length = 16, .speed = 8, .trigger = TriggerMouse},
        {.source = 0, .start = 16, .length = 16, .speed = -5, .pitch = -1000, .overlap = 4},
        {.source = 2, .start = 16, .length = 16, .volume = 110, .fadeOut = 6},
    };
    for (const RowSpec& spec : rows)
        AddRow(spec, *snl.Bins.At(spec.source), spec.start == 0 ? 0 : 1);
    const std::string project = (folder / "demo.snmx").string();
    snl.SaveToFile(project);
    std::cout << project << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const std::string argument = argc > 1 ? argv[1] : "";
    if (argument == "--test-wav-path") {
        std::cout << TestWavPath() << "\n";
        return 0;
    }
    if (argument.empty() || argument[0] == '-') {
        std::cerr << "usage: make_demo <folder> | --test-wav-path\n";
        return 2;
    }
    return MakeDemo(argument);
}
