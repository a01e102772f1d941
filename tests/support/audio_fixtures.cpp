#include "support/audio_fixtures.h"

#include <algorithm>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sndfile.h>
#include <unistd.h>

namespace sonorel_test {
namespace {

int16_t ToSample(double v) { return static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0)); }

bool WriteWithSndfile(const std::string& path, int format, const std::vector<int16_t>& samples, int rate, int channels)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    // In blocks: libsndfile's Vorbis writer crashes when handed a minute or more at once.
    constexpr sf_count_t block = 1 << 16;
    const sf_count_t frames = static_cast<sf_count_t>(samples.size() / channels);
    bool ok = true;
    for (sf_count_t at = 0; at < frames && ok; at += block) {
        const sf_count_t count = std::min(block, frames - at);
        ok = sf_writef_short(file, samples.data() + at * channels, count) == count;
    }
    return sf_close(file) == 0 && ok;
}

bool ProgramExists(const char* name)
{
    const std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Encodes through a temporary WAV file with an external program.
bool WriteWithProgram(const std::string& path, const std::string& commandStart, const std::string& commandMiddle,
                      const std::vector<int16_t>& samples, int rate, int channels)
{
    const std::string wav = path + ".source.wav";
    if (!WriteWithSndfile(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, samples, rate, channels))
        return false;
    const bool ok = Run(commandStart + Quoted(wav) + commandMiddle + Quoted(path));
    std::filesystem::remove(wav);
    return ok && std::filesystem::exists(path);
}

} // namespace

std::string DecoderComplaints(const std::string& path)
{
    const std::string command = "ffmpeg -nostdin -hide_banner -v error -i " + Quoted(path) + " -f null - 2>&1";
    FILE* output = popen(command.c_str(), "r");
    if (!output)
        return "can't run ffmpeg";
    std::string text;
    char chunk[512];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, output)) > 0;)
        text.append(chunk, got);
    const int status = pclose(output);
    return status == 0 ? text : text + "(ffmpeg failed)";
}

std::vector<int16_t> MakeSweepNoise(const SignalSpec& spec)
{
    const int64_t frames = static_cast<int64_t>(spec.seconds * spec.rate);
    std::vector<int16_t> out(static_cast<size_t>(frames) * spec.channels);
    const double f0 = 100.0, f1 = std::min(8000.0, spec.rate * 0.45);
    const double k = std::log(f1 / f0) / std::max(spec.seconds, 1e-9);
    uint32_t noise = spec.seed * 2654435761u + 1;
    for (int64_t i = 0; i < frames; ++i) {
        const double t = double(i) / spec.rate;
        const double phase = 2 * M_PI * f0 * (std::exp(k * t) - 1) / k;
        for (int c = 0; c < spec.channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double white = (double(noise >> 8) / double(1 << 24)) * 2 - 1;
            out[size_t(i) * spec.channels + c] = ToSample(0.5 * std::sin(phase + c * 0.7) + 0.1 * white);
        }
    }
    return out;
}

std::vector<int16_t> MakeTone(double hz, const SignalSpec& spec, double amplitude)
{
    const int64_t frames = static_cast<int64_t>(spec.seconds * spec.rate);
    std::vector<int16_t> out(static_cast<size_t>(frames) * spec.channels);
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < spec.channels; ++c)
            out[size_t(i) * spec.channels + c] = ToSample(amplitude * std::sin(2 * M_PI * hz * double(i) / spec.rate));
    return out;
}

std::string ExtensionOf(AudioFileKind kind)
{
    switch (kind) {
    case AudioFileKind::Wav: return ".wav";
    case AudioFileKind::Aiff: return ".aiff";
    case AudioFileKind::Flac: return ".flac";
    case AudioFileKind::Ogg: return ".ogg";
    case AudioFileKind::Mp3:
    case AudioFileKind::Mp3Untagged: return ".mp3";
    case AudioFileKind::Wma: return ".wma";
    }
    return {};
}

bool CanWrite(AudioFileKind kind)
{
    if (kind == AudioFileKind::Mp3 || kind == AudioFileKind::Mp3Untagged)
        return ProgramExists("lame");
    if (kind == AudioFileKind::Wma)
        return ProgramExists("ffmpeg");
    return true;
}

bool WriteAudioFile(const std::string& path, AudioFileKind kind, const std::vector<int16_t>& samples, int rate,
                    int channels)
{
    switch (kind) {
    case AudioFileKind::Wav: return WriteWithSndfile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, samples, rate, channels);
    case AudioFileKind::Aiff: return WriteWithSndfile(path, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, samples, rate, channels);
    case AudioFileKind::Flac: return WriteWithSndfile(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, samples, rate, channels);
    case AudioFileKind::Ogg: return WriteWithSndfile(path, SF_FORMAT_OGG | SF_FORMAT_VORBIS, samples, rate, channels);
    case AudioFileKind::Mp3:
        return WriteWithProgram(path, "lame --quiet -b 192 ", " ", samples, rate, channels);
    case AudioFileKind::Mp3Untagged:
        return WriteWithProgram(path, "lame --quiet -t -b 192 ", " ", samples, rate, channels);
    case AudioFileKind::Wma:
        return WriteWithProgram(path, "ffmpeg -nostdin -loglevel error -y -i ", " -c:a wmav2 -b:a 128k ", samples, rate,
                                channels);
    }
    return false;
}

std::string FixtureFolder()
{
    namespace fs = std::filesystem;
    const char* home = std::getenv("SONOREL_TEST_HOME");
    fs::path base = home && *home ? fs::path(home) : fs::temp_directory_path();
    fs::path folder = base / ("audio-fixtures-" + std::to_string(getpid()));
    static int counter = 0;
    folder += "-" + std::to_string(++counter);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder.string();
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool SetFlacTotalSamples(std::string& bytes, uint64_t total)
{
    // "fLaC", the stream header's block header, then 13 bytes before the count's top 4 bits.
    if (bytes.size() < 26 || bytes.compare(0, 4, "fLaC") != 0)
        return false;
    bytes[21] = static_cast<char>((bytes[21] & 0xF0) | ((total >> 32) & 0x0F));
    for (int i = 0; i < 4; ++i)
        bytes[22 + i] = static_cast<char>(total >> (24 - 8 * i));
    return true;
}

bool SetMp3InfoFrames(std::string& bytes, uint32_t frames)
{
    // The tag's name, 4 bytes of flags (bit 0: a frame count follows), the count big-endian.
    size_t at = bytes.find("Info");
    if (at == std::string::npos || at > 200)
        at = bytes.find("Xing");
    if (at == std::string::npos || at + 12 > bytes.size() || (bytes[at + 7] & 1) == 0)
        return false;
    for (int i = 0; i < 4; ++i)
        bytes[at + 8 + i] = static_cast<char>(frames >> (24 - 8 * i));
    return true;
}

namespace {

// Ogg's page checksum: CRC-32 with the polynomial 0x04C11DB7, no reflection, initial value 0.
uint32_t OggCrc(const std::string& bytes, size_t from, size_t length)
{
    uint32_t crc = 0;
    for (size_t i = from; i < from + length; ++i) {
        crc ^= uint32_t(static_cast<unsigned char>(bytes[i])) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// One page of an Ogg file: where it starts, its length and how many lacing values it has.
struct OggPage {
    size_t at = 0;
    size_t length = 0;
    size_t segments = 0;
};

// The page at `at`; length 0 when no whole page is there.
OggPage OggPageAt(const std::string& bytes, size_t at)
{
    OggPage page{at};
    if (at + 27 > bytes.size() || bytes.compare(at, 4, "OggS") != 0)
        return page;
    page.segments = static_cast<unsigned char>(bytes[at + 26]);
    size_t length = 27 + page.segments;
    for (size_t i = 0; i < page.segments && at + 27 + i < bytes.size(); ++i)
        length += static_cast<unsigned char>(bytes[at + 27 + i]);
    page.length = at + length <= bytes.size() ? length : 0;
    return page;
}

void SetOggChecksum(std::string& bytes, const OggPage& page)
{
    std::memset(bytes.data() + page.at + 22, 0, 4);
    const uint32_t crc = OggCrc(bytes, page.at, page.length);
    std::memcpy(bytes.data() + page.at + 22, &crc, 4);
}

} // namespace

bool SetOggFirstGranule(std::string& bytes, int64_t firstGranule, int64_t movedBelow)
{
    bool first = true;
    int64_t shift = 0;
    for (OggPage page = OggPageAt(bytes, 0); page.length > 0; page = OggPageAt(bytes, page.at + page.length)) {
        int64_t granule = 0;
        std::memcpy(&granule, bytes.data() + page.at + 6, 8);
        if (granule == 0 || granule == -1 || granule >= movedBelow)
            continue; // header pages carry 0, pages where no packet ends -1
        if (first)
            shift = firstGranule - granule;
        first = false;
        granule += shift;
        std::memcpy(bytes.data() + page.at + 6, &granule, 8);
        SetOggChecksum(bytes, page);
    }
    return !first;
}

bool SplitOggPages(std::string& bytes)
{
    std::string out;
    uint32_t sequence = 0;
    const auto append = [&](std::string page) {
        std::memcpy(page.data() + 18, &sequence, 4);
        ++sequence;
        SetOggChecksum(page, OggPage{0, page.size()});
        out += page;
    };
    bool split = false;
    for (OggPage page = OggPageAt(bytes, 0); page.length > 0; page = OggPageAt(bytes, page.at + page.length)) {
        const std::string whole = bytes.substr(page.at, page.length);
        if (page.segments < 2 || static_cast<unsigned char>(whole[27]) != 255) {
            append(whole);
            continue;
        }
        // The first segment alone (no packet ends there: no granule position, not the last page),
        // then the rest, which continues the packet.
        std::string head = whole.substr(0, 27) + whole[27] + whole.substr(27 + page.segments, 255);
        head[5] = static_cast<char>(whole[5] & ~4);
        const int64_t none = -1;
        std::memcpy(head.data() + 6, &none, 8);
        head[26] = 1;
        std::string rest =
            whole.substr(0, 27) + whole.substr(28, page.segments - 1) + whole.substr(27 + page.segments + 255);
        rest[5] = static_cast<char>((whole[5] & ~2) | 1);
        rest[26] = static_cast<char>(page.segments - 1);
        append(head);
        append(rest);
        split = true;
    }
    bytes = out;
    return split;
}

std::vector<std::string> FileNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace sonorel_test
