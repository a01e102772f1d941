// The encoders: our WAV writer and the encoder program behind a pipe.

#include "platform/sound/SoundEncoder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>

#include "platform/files/ReplaceFile.h"
#include "platform/sound/Mp3Frames.h"
#include "platform/sound/SoundChannel.h"

extern char** environ;

namespace sound {
namespace {

thread_local std::string lastEncodeError;

bool EncodeFail(int code, std::string text)
{
    SetError(code);
    lastEncodeError = std::move(text);
    return false;
}

bool EncodeOk()
{
    SetError(BASS_OK);
    lastEncodeError.clear();
    return true;
}

std::string ErrnoText(int error) { return std::system_category().message(error); }

// ---- WAV header ---------------------------------------------------------------------------

constexpr size_t kWavHeaderBytes = 44;
constexpr uint64_t kWavMaxData = 0xFFFFFFFFull - (kWavHeaderBytes - 8); // what the RIFF size can declare
constexpr uint32_t kStreamingSize = 0xFFFFFFFF;                          // "length unknown"

void PutLe(unsigned char* at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

// A canonical 16-bit PCM header; dataBytes kStreamingSize declares a stream of unknown length.
std::string WavHeader(uint32_t rate, uint32_t channels, uint32_t dataBytes)
{
    unsigned char h[kWavHeaderBytes] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    const uint32_t blockAlign = channels * 2;
    PutLe(h + 4, dataBytes == kStreamingSize ? kStreamingSize : dataBytes + 36, 4);
    PutLe(h + 16, 16, 4); // fmt chunk size
    PutLe(h + 20, 1, 2);  // PCM
    PutLe(h + 22, channels, 2);
    PutLe(h + 24, rate, 4);
    PutLe(h + 28, rate * blockAlign, 4);
    PutLe(h + 32, blockAlign, 2);
    PutLe(h + 34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    PutLe(h + 40, dataBytes, 4);
    return std::string(reinterpret_cast<const char*>(h), sizeof h);
}

// Where a kept part of the output ends, in bytes of the data handed over: the last of `ends` that
// the output holds whole (`held` bytes), or all it holds when there are no ends; 0 for nothing.
uint64_t KeptPartEnd(const std::vector<uint64_t>& ends, uint64_t held)
{
    if (ends.empty())
        return held;
    const auto past = std::upper_bound(ends.begin(), ends.end(), held);
    return past == ends.begin() ? 0 : *(past - 1);
}

// ---- The output file ----------------------------------------------------------------------

// The output under a temporary name beside the target, renamed over it when complete, with the
// encoder's errors.
class PendingFile {
public:
    bool Create(const std::string& target)
    {
        return file_.Create(target) || EncodeFail(BASS_ERROR_CREATE, ErrnoText(file_.Error()));
    }
    int Fd() const { return file_.Fd(); }
    const std::string& Path() const { return file_.Path(); }
    void CloseFd() { file_.CloseFd(); }
    bool Commit() { return file_.Commit() || EncodeFail(BASS_ERROR_WRITE, ErrnoText(file_.Error())); }
    void Discard() { file_.Discard(); }

private:
    ReplaceFile file_;
};

// ---- Encoders -----------------------------------------------------------------------------

class Encoder {
public:
    virtual ~Encoder() = default;
    virtual bool Write(const void* buffer, uint32_t length) = 0;
    // Completes the output; false with the reason set. After a failure, an encoder asked to keep
    // its part keeps what it wrote whole up to one of `keepEnds` (see BASS_Encode_Stop).
    virtual bool Finish(const std::vector<uint64_t>& keepEnds) = 0;
    virtual void Abort() = 0;  // ends without output
    virtual bool RaisePriority() { return false; }
    // Seconds of sound that a failed Finish kept under the target's name.
    double KeptSeconds() const { return keptSeconds_; }

protected:
    // The first failure is the one reported, later calls repeat it.
    bool Failed(int code, std::string text)
    {
        if (failCode_ == 0) {
            failCode_ = code;
            failText_ = std::move(text);
        }
        return EncodeFail(failCode_, failText_);
    }
    bool HasFailed() const { return failCode_ != 0; }
    bool RepeatFailure() { return EncodeFail(failCode_, failText_); }

    double keptSeconds_ = 0;

private:
    int failCode_ = 0;
    std::string failText_;
};

// Our own writer: WAV (header patched at the end) or raw PCM.
class FileEncoder : public Encoder {
public:
    FileEncoder(uint32_t rate, uint32_t channels, bool header, bool keepPart)
        : rate_(rate), channels_(channels), header_(header), keepPart_(keepPart)
    {
    }

    bool Start(const std::string& path)
    {
        if (!file_.Create(path))
            return false;
        if (header_)
            return WriteOut(WavHeader(rate_, channels_, 0).data(), kWavHeaderBytes);
        return true;
    }

    bool Write(const void* buffer, uint32_t length) override
    {
        if (HasFailed())
            return RepeatFailure();
        if (header_ && dataBytes_ + length > kWavMaxData)
            return Failed(BASS_ERROR_WRITE, "a WAV file holds at most 4 GB");
        if (!WriteOut(buffer, length))
            return false;
        dataBytes_ += length;
        return true;
    }

    bool Finish(const std::vector<uint64_t>& keepEnds) override
    {
        if (HasFailed()) {
            if (!keepPart_ || !KeepWholeSamples(keepEnds))
                file_.Discard();
            return RepeatFailure();
        }
        if (!PatchHeader(dataBytes_))
            return Failed(BASS_ERROR_WRITE, ErrnoText(errno));
        return file_.Commit() || Failed(BASS_ERROR_WRITE, lastEncodeError);
    }

    void Abort() override { file_.Discard(); }

private:
    bool PatchHeader(uint64_t dataBytes)
    {
        if (!header_)
            return true;
        const std::string h = WavHeader(rate_, channels_, static_cast<uint32_t>(dataBytes));
        return pwrite(file_.Fd(), h.data(), h.size(), 0) == static_cast<ssize_t>(h.size());
    }

    // The whole sample frames written before the failure, cut at a keep end, with the header's
    // sizes made right, take the target's name; false when there are none or they can't be kept.
    bool KeepWholeSamples(const std::vector<uint64_t>& keepEnds)
    {
        const uint64_t frameBytes = channels_ * 2;
        const uint64_t end = KeptPartEnd(keepEnds, dataBytes_ - dataBytes_ % frameBytes);
        const off_t fileBytes = static_cast<off_t>((header_ ? kWavHeaderBytes : 0) + end);
        if (end == 0 || ftruncate(file_.Fd(), fileBytes) != 0 || !PatchHeader(end) || !file_.Commit())
            return false;
        keptSeconds_ = static_cast<double>(end / frameBytes) / rate_;
        return true;
    }

    bool WriteOut(const void* data, size_t length)
    {
        if (const int error = WriteAll(file_.Fd(), data, length))
            return Failed(BASS_ERROR_WRITE, ErrnoText(error));
        return true;
    }

    PendingFile file_;
    uint32_t rate_, channels_;
    bool header_;
    bool keepPart_;
    uint64_t dataBytes_ = 0; // handed over and written
};

// A program that reads the sound from its standard input and writes the file named last on its
// command line.
class ProgramEncoder : public Encoder {
public:
    ProgramEncoder(uint32_t rate, uint32_t channels, bool keepPart)
        : rate_(rate), channels_(channels), keepPart_(keepPart)
    {
    }
    ~ProgramEncoder() override { Abort(); }

    bool Start(const std::vector<std::string>& arguments, const std::string& path)
    {
        if (arguments.empty() || arguments[0].empty())
            return EncodeFail(BASS_ERROR_ILLPARAM, "no encoder program named");
        program_ = arguments[0];
        if (!file_.Create(path))
            return false;
        file_.CloseFd(); // the program opens it by name
        if (!Spawn(arguments))
            return false;
        // A program that ends at once is no failure to start: the next Write or Stop reports it.
        const std::string header = WavHeader(rate_, channels_, kStreamingSize);
        Write(header.data(), static_cast<uint32_t>(header.size()));
        return true;
    }

    bool Write(const void* buffer, uint32_t length) override
    {
        if (HasFailed())
            return RepeatFailure();
        const int error = WriteAll(input_, buffer, length);
        if (error == EPIPE)
            return Failed(BASS_ERROR_PROGRAM, program_ + " stopped reading the sound" + ExitReason(Reap()));
        if (error)
            return Failed(BASS_ERROR_PROGRAM, "can't feed " + program_ + ": " + ErrnoText(error));
        return true;
    }

    bool Finish(const std::vector<uint64_t>& keepEnds) override
    {
        CloseInput();
        const int status = Reap();
        if (!HasFailed() && (!WIFEXITED(status) || WEXITSTATUS(status) != 0))
            Failed(BASS_ERROR_PROGRAM, program_ + " ended with an error" + ExitReason(status));
        if (HasFailed()) {
            if (!keepPart_ || !KeepWholeFrames(keepEnds))
                file_.Discard();
            return RepeatFailure();
        }
        return file_.Commit() || Failed(BASS_ERROR_WRITE, lastEncodeError);
    }

    void Abort() override
    {
        CloseInput();
        if (pid_ > 0)
            kill(pid_, SIGTERM);
        Reap();
        file_.Discard();
        CloseErrors();
    }

    bool RaisePriority() override
    {
        // As high as the system lets us; an unprivileged process is refused and keeps its priority.
        return pid_ > 0 && setpriority(PRIO_PROCESS, static_cast<id_t>(pid_), -10) == 0;
    }

private:
    // The MP3 frames the program wrote whole before it failed, cut back to those that hold the
    // sound up to a keep end, take the target's name; lame's empty tag frame is filled in, so that
    // the file decodes to exactly that sound. False when it holds none or can't be kept.
    bool KeepWholeFrames(const std::vector<uint64_t>& keepEnds)
    {
        const uint64_t frameBytes = channels_ * 2;
        const Mp3WholeFrames written = FindWholeMp3Frames(file_.Path());
        if (written.rate != static_cast<int>(rate_))
            return false; // resampled: its frames can't be matched to the sound handed over
        const int64_t held = std::max<int64_t>(written.soundSamples - kMp3SoundLead, 0);
        const int64_t end = static_cast<int64_t>(KeptPartEnd(keepEnds, static_cast<uint64_t>(held) * frameBytes) / frameBytes);
        if (end == 0)
            return false;
        const Mp3WholeFrames kept = FindWholeMp3Frames(file_.Path(), end + kMp3SoundLead);
        if (truncate(file_.Path().c_str(), kept.bytes) != 0)
            return false;
        if (kept.tagFrameBytes > 0 && !WriteMp3InfoTag(file_.Path(), kept, end))
            return false;
        if (!file_.Commit())
            return false;
        keptSeconds_ = static_cast<double>(end) / rate_;
        return true;
    }

    bool Spawn(const std::vector<std::string>& arguments)
    {
        IgnoreBrokenPipes();
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0)
            return EncodeFail(BASS_ERROR_START, program_ + ": " + ErrnoText(errno));
        fcntl(pipeFds[1], F_SETPIPE_SZ, 1 << 20); // fewer switches between us and the program; may be refused
        errors_ = OpenErrorLog();

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (errors_ >= 0)
            posix_spawn_file_actions_adddup2(&actions, errors_, 2);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults, none;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

        std::vector<std::string> all = arguments;
        all.push_back(file_.Path());
        std::vector<char*> argv;
        for (std::string& argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int error = posix_spawnp(&pid_, program_.c_str(), &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        close(pipeFds[0]);
        input_ = pipeFds[1];
        if (error != 0) {
            pid_ = -1;
            CloseInput();
            return EncodeFail(BASS_ERROR_START, program_ + ": " + ErrnoText(error));
        }
        return true;
    }

    // A write into a pipe whose reader is gone must fail with EPIPE, not end our process. A handler
    // the program installed itself is left alone.
    static void IgnoreBrokenPipes()
    {
        static std::once_flag once;
        std::call_once(once, [] {
            struct sigaction current {};
            if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
                signal(SIGPIPE, SIG_IGN);
        });
    }

    // An unnamed file for the program's error output (its progress lines go there too).
    static int OpenErrorLog()
    {
        const char* tmp = getenv("TMPDIR");
        for (const char* folder : {tmp, "/tmp"}) {
            if (!folder || !*folder)
                continue;
            const int fd = open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
            if (fd >= 0)
                return fd;
        }
        return open("/dev/null", O_WRONLY | O_CLOEXEC);
    }

    // ", exit status 1: <the program's last line>" and the like.
    std::string ExitReason(int status) const
    {
        std::string reason;
        if (status == -1)
            return reason;
        if (WIFEXITED(status))
            reason = " (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
        else if (WIFSIGNALED(status))
            reason = " (ended by signal " + std::to_string(WTERMSIG(status)) + ")";
        const std::string last = LastErrorLine();
        return last.empty() ? reason : reason + ": " + last;
    }

    std::string LastErrorLine() const
    {
        if (errors_ < 0)
            return {};
        const off_t size = lseek(errors_, 0, SEEK_END);
        if (size <= 0)
            return {};
        std::string text(static_cast<size_t>(std::min<off_t>(size, 512)), '\0');
        if (pread(errors_, text.data(), text.size(), size - static_cast<off_t>(text.size())) <= 0)
            return {};
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
            text.pop_back();
        const size_t lineStart = text.find_last_of("\r\n");
        return lineStart == std::string::npos ? text : text.substr(lineStart + 1);
    }

    // Waits for the program once; its wait status, -1 when there is none.
    int Reap()
    {
        if (pid_ > 0) {
            int status = 0;
            pid_t got;
            do
                got = waitpid(pid_, &status, 0);
            while (got < 0 && errno == EINTR);
            pid_ = -1;
            status_ = got > 0 ? status : -1;
        }
        return status_;
    }

    void CloseInput()
    {
        if (input_ >= 0)
            close(input_);
        input_ = -1;
    }

    void CloseErrors()
    {
        if (errors_ >= 0)
            close(errors_);
        errors_ = -1;
    }

    PendingFile file_;
    std::string program_;
    uint32_t rate_, channels_;
    bool keepPart_;
    pid_t pid_ = -1;
    int status_ = -1;
    int input_ = -1;
    int errors_ = -1;
};

// ---- The encoders of the channels -----------------------------------------------------------

std::mutex encodersLock;
std::map<BassHandle, std::shared_ptr<Encoder>> encoders;

std::shared_ptr<Encoder> FindEncoder(BassHandle channel)
{
    std::lock_guard<std::mutex> lock(encodersLock);
    const auto found = encoders.find(channel);
    return found == encoders.end() ? nullptr : found->second;
}

std::shared_ptr<Encoder> TakeEncoder(BassHandle channel)
{
    std::lock_guard<std::mutex> lock(encodersLock);
    const auto found = encoders.find(channel);
    if (found == encoders.end())
        return nullptr;
    std::shared_ptr<Encoder> encoder = std::move(found->second);
    encoders.erase(found);
    return encoder;
}

// The channel's format, when it may get an encoder.
bool FormatForEncoder(BassHandle channel, BassChannelInfo& info)
{
    if (!BASS_ChannelGetInfo(channel, &info))
        return EncodeFail(BASS_ERROR_HANDLE, "no such channel");
    if (FindEncoder(channel))
        return EncodeFail(BASS_ERROR_ALREADY, "the channel already has an encoder");
    return true;
}

bool Register(BassHandle channel, std::shared_ptr<Encoder> encoder)
{
    std::lock_guard<std::mutex> lock(encodersLock);
    if (!encoders.emplace(channel, std::move(encoder)).second)
        return EncodeFail(BASS_ERROR_ALREADY, "the channel already has an encoder");
    return EncodeOk();
}

} // namespace
} // namespace sound

using namespace sound;

bool BASS_Encode_StartFile(BassHandle channel, const std::string& path, uint32_t flags)
{
    BassChannelInfo info;
    if (!FormatForEncoder(channel, info))
        return false;
    if ((flags & (BASS_ENCODE_PCM | BASS_ENCODE_NOHEAD)) == 0)
        return EncodeFail(BASS_ERROR_ILLPARAM, "no file kind given");
    auto encoder = std::make_shared<FileEncoder>(info.frequency, info.channels, (flags & BASS_ENCODE_NOHEAD) == 0,
                                                 (flags & BASS_ENCODE_KEEPPART) != 0);
    return encoder->Start(path) && Register(channel, std::move(encoder));
}

bool BASS_Encode_StartProgram(BassHandle channel, const std::vector<std::string>& arguments,
                              const std::string& path, uint32_t flags)
{
    BassChannelInfo info;
    if (!FormatForEncoder(channel, info))
        return false;
    auto encoder = std::make_shared<ProgramEncoder>(info.frequency, info.channels, (flags & BASS_ENCODE_KEEPPART) != 0);
    return encoder->Start(arguments, path) && Register(channel, std::move(encoder));
}

bool BASS_Encode_RaisePriority(BassHandle channel)
{
    const std::shared_ptr<Encoder> encoder = FindEncoder(channel);
    return encoder && encoder->RaisePriority();
}

bool BASS_Encode_Write(BassHandle channel, const void* buffer, uint32_t length)
{
    const std::shared_ptr<Encoder> encoder = FindEncoder(channel);
    if (!encoder)
        return EncodeFail(BASS_ERROR_HANDLE, "the channel has no encoder");
    if (!buffer && length > 0)
        return EncodeFail(BASS_ERROR_ILLPARAM, "no data");
    return encoder->Write(buffer, length) && EncodeOk();
}

bool BASS_Encode_Stop(BassHandle channel, double* keptSeconds, const std::vector<uint64_t>& keepEnds)
{
    if (keptSeconds)
        *keptSeconds = 0;
    const std::shared_ptr<Encoder> encoder = TakeEncoder(channel);
    if (!encoder)
        return EncodeFail(BASS_ERROR_HANDLE, "the channel has no encoder");
    if (encoder->Finish(keepEnds))
        return EncodeOk();
    if (keptSeconds)
        *keptSeconds = encoder->KeptSeconds();
    return false;
}

void BASS_Encode_Cancel(BassHandle channel)
{
    if (const std::shared_ptr<Encoder> encoder = TakeEncoder(channel))
        encoder->Abort();
}

bool BASS_Encode_IsActive(BassHandle channel) { return FindEncoder(channel) != nullptr; }

std::string BASS_Encode_ErrorText() { return lastEncodeError; }
