// sonorel-play: plays a sound file through Sonorel's sound layer, so a person can hear what the
// decoders, the tempo stream and the output make of it.
//
//   sonorel-play [--list] [--device N] [--rate HZ] [--tempo PCT] [--pitch SEMITONES]
//                [--start SECONDS] [--seconds SECONDS] FILE
//   sonorel-play --cd    lists the CD drives (image drives too) with their tracks, playing nothing

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/sound/SoundCD.h"
#include "platform/sound/SoundLibrary.h"

namespace {

struct Options {
    int device = BASS_DEVICE_DEFAULT;
    int rate = 44100;
    float tempo = 0;
    float pitch = 0;
    double start = 0;
    double seconds = 0; // 0: to the end
    bool list = false;
    bool cd = false;
    std::string file;
};

int Usage()
{
    std::fprintf(stderr,
                 "usage: sonorel-play [--list] [--device N] [--rate HZ] [--tempo PCT] [--pitch SEMITONES]\n"
                 "                    [--start SECONDS] [--seconds SECONDS] FILE\n"
                 "       sonorel-play --cd\n"
                 "  --device 0 plays to the silent null output; --list shows the devices; --cd lists the CD\n"
                 "  drives (with the CUE/BIN images named in SONOREL_CD_IMAGES) and their tracks.\n");
    return 2;
}

bool Parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--list")
            o.list = true;
        else if (arg == "--cd")
            o.cd = true;
        else if (arg == "--device" && hasValue)
            o.device = std::atoi(argv[++i]);
        else if (arg == "--rate" && hasValue)
            o.rate = std::atoi(argv[++i]);
        else if (arg == "--tempo" && hasValue)
            o.tempo = std::strtof(argv[++i], nullptr);
        else if (arg == "--pitch" && hasValue)
            o.pitch = std::strtof(argv[++i], nullptr);
        else if (arg == "--start" && hasValue)
            o.start = std::strtod(argv[++i], nullptr);
        else if (arg == "--seconds" && hasValue)
            o.seconds = std::strtod(argv[++i], nullptr);
        else if (!arg.empty() && arg[0] != '-' && o.file.empty())
            o.file = arg;
        else
            return false;
    }
    return o.list || o.cd || !o.file.empty();
}

void ListDevices()
{
    for (int i = 1;; ++i) {
        const std::string text = BASS_GetDeviceText(i);
        if (text.empty())
            break;
        std::printf("%d: %s\n", i, text.c_str());
    }
}

// Each drive in the rip window's order, then its tracks (their own sectors) or why it is unreadable.
void ListCdDrives()
{
    for (int drive = 0; BASS_CD_GetDriveLetter(drive) >= 0; ++drive) {
        std::printf("drive %d: %s\n", drive, BASS_CD_GetDriveDescription(drive).c_str());
        const int tracks = BASS_CD_GetTracks(drive);
        if (tracks < 0) {
            const std::string refusal = BASS_CD_GetImageRefusal(drive);
            std::printf("  unreadable: %s\n", refusal.empty() ? "no disc, or its table of contents cannot be read" : refusal.c_str());
        }
        for (int track = 0; track < tracks; ++track) {
            const int64_t bytes = BASS_CD_GetTrackLength(drive, track);
            const char* kind = BASS_CD_IsAudioTrack(drive, track) ? "audio" : "data";
            if (bytes < 0)
                std::printf("  track %d: outside the disc, %s\n", track + 1, kind);
            else
                std::printf("  track %d: %lld sectors, %s\n", track + 1, static_cast<long long>(bytes / BASS_CD_SECTOR_BYTES), kind);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!Parse(argc, argv, o))
        return Usage();
    if (o.list)
        ListDevices();
    if (o.cd)
        ListCdDrives();
    if (o.list || o.cd)
        return 0;
    BassHandle source = BASS_StreamCreateFile(o.file, BASS_STREAM_DECODE);
    if (!source)
        source = BASS_WMA_StreamCreateFile(o.file, BASS_STREAM_DECODE);
    if (!source) {
        std::fprintf(stderr, "sonorel-play: cannot decode %s (error %d)\n", o.file.c_str(), BASS_ErrorGetCode());
        return 1;
    }
    if (!BASS_Init(o.device, static_cast<uint32_t>(o.rate), 0, nullptr, nullptr)) {
        std::fprintf(stderr, "sonorel-play: cannot open output device %d (error %d)\n", o.device, BASS_ErrorGetCode());
        return 1;
    }
    BassChannelInfo info;
    BASS_ChannelGetInfo(source, &info);
    BASS_ChannelSetPosition(source, BASS_ChannelSeconds2Bytes(source, o.start));
    const BassHandle tempo = BASS_FX_TempoCreate(source, BASS_FX_FREESOURCE); // playable
    if (!tempo || !BASS_FX_TempoSet(tempo, o.tempo, static_cast<float>(info.frequency), o.pitch)) {
        std::fprintf(stderr, "sonorel-play: cannot set tempo %.2f %% / pitch %.2f semitones\n", o.tempo, o.pitch);
        return 1;
    }
    const double length = BASS_ChannelBytes2Seconds(source, BASS_ChannelGetLength(source));
    const BassOutputInfo output = BASS_GetOutputInfo();
    std::printf("%s: %u Hz, %u channels, %.2f s\noutput: %s at %d Hz%s\n", o.file.c_str(), info.frequency,
                info.channels, length, output.deviceText.c_str(), output.frequency,
                output.nullOutput ? " (nothing is heard)" : "");
    BASS_ChannelPlay(tempo, false);
    const auto started = std::chrono::steady_clock::now();
    while (BASS_ChannelIsActive(tempo) == BASS_ACTIVE_PLAYING) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const double played = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const double at = BASS_ChannelBytes2Seconds(source, BASS_ChannelGetPosition(tempo));
        std::printf("\r%7.2f s of %.2f s", at, length);
        std::fflush(stdout);
        if (o.seconds > 0 && played >= o.seconds)
            break;
    }
    std::printf("\n");
    BASS_Free();
    return 0;
}
