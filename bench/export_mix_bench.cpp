// Speed of the export window on 60-minute mixes of 20 rows: the benchmark mix (every fifth row 2 %
// faster) and the user's mix (tempo and pitch on every row). For each, the render step alone and the
// export to WAV, with the CPU time they took (the machine may be shared); for the benchmark mix also
// the export to MP3 and `lame` alone encoding the same PCM (the bound of the MP3 export); for the
// user's mix also the render step with 48 kHz sources. Prints the figures as multiples of real time.
// Optional argument: the mix length in minutes.

#include <QApplication>
#include <QLineEdit>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>

#include "cd/form_SaveToWav.h"
#include "model/class_Switches.h"
#include "bench_mix.h"

using namespace sonorel_test;
using sonorel_bench::BuildMix;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// CPU seconds this process has used, every thread (the preparation worker's too).
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Took {
    double wall = 0, cpu = 0;
};

template <typename Run> Took Timed(Run run)
{
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    run();
    return {Seconds(start), CpuSeconds() - cpu};
}

void Report(const char* what, Took took, double mixSeconds)
{
    std::printf("%-30s: %7.2f s  %7.1fx real time; CPU %6.2f s  %7.1fx real time per CPU second\n", what, took.wall,
                mixSeconds / took.wall, took.cpu, mixSeconds / took.cpu);
}

Took RenderOnly(const TFormSaveToWav& form, float mixSeconds)
{
    std::vector<char> block(TEncoderNode::BlockBytes);
    snl.WavProducer.WavMix.Format = form.ExportFormat();
    const Took took = Timed([&] {
        snl.WavProducer.SetNeedlePos(snl.mixdata, 0.0f, false, -1);
        for (double done = 0; done < mixSeconds; done += 2.0)
            snl.WavProducer.RenderStep(block.data(), TEncoderNode::BlockBytes);
        snl.WavProducer.Stop();
    });
    return took;
}

Took Export(TFormSaveToWav& form, bool wav, const std::string& path)
{
    form.SetMode(wav);
    form.filename->setText(QString::fromStdString(path));
    const Took took = Timed([&] { form.saveClick(); });
    if (!std::filesystem::exists(path)) {
        std::fprintf(stderr, "export to %s failed: %s\n", path.c_str(), form.EncoderNode1.ErrorText().c_str());
        std::exit(1);
    }
    return took;
}

double LameAlone(const std::string& wav, const std::string& mp3)
{
    const std::string command = "lame -m j -b 256 -h '" + wav + "' '" + mp3 + "' >/dev/null 2>&1";
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double took = Seconds(start);
    if (status != 0) {
        std::fprintf(stderr, "lame failed\n");
        std::exit(1);
    }
    return took;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    SetCommandLine({"sonorel", "towavtest"}); // overwrite without asking
    const double minutes = argc > 1 ? std::atof(argv[1]) : 60.0;
    const std::string folder = std::filesystem::temp_directory_path().string() + "/sonorel_export_bench";
    std::filesystem::create_directories(folder);
    TFormSaveToWav form;

    BuildMix(folder, minutes);
    const float mixSeconds = snl.mixdata.TotalLength();
    std::printf("benchmark mix: %d rows, %.1f s, every fifth row 2 %% faster\n", snl.mixdata.Count(), mixSeconds);
    Report("render step alone", RenderOnly(form, mixSeconds), mixSeconds);
    Report("export to WAV", Export(form, true, folder + "/mix.wav"), mixSeconds);
    // lame alone before and after the MP3 export, so that a busy machine weighs on both sides.
    const double lameBefore = LameAlone(folder + "/mix.wav", folder + "/lame_alone.mp3");
    const Took mp3 = Export(form, false, folder + "/mix.mp3");
    const double lame = (lameBefore + LameAlone(folder + "/mix.wav", folder + "/lame_alone.mp3")) / 2;
    Report("export to MP3", mp3, mixSeconds);
    std::printf("%-30s: %7.2f s  %7.1fx real time\n", "lame alone (mean)", lame, mixSeconds / lame);
    std::printf("MP3 export / lame alone: %.1f %% of lame's speed\n", 100.0 * lame / mp3.wall);

    snl.mixdata.Clear();
    BuildMix(folder, minutes, sonorel_bench::kUserMix);
    const float userSeconds = snl.mixdata.TotalLength();
    std::printf("user's mix: %d rows, %.1f s, tempo and pitch on every row\n", snl.mixdata.Count(), userSeconds);
    Report("render step alone", RenderOnly(form, userSeconds), userSeconds);
    Report("export to WAV", Export(form, true, folder + "/mix.wav"), userSeconds);
    snl.mixdata.Clear();
    sonorel_bench::MixShape at48k = sonorel_bench::kUserMix;
    at48k.sourceRate = 48000;
    BuildMix(folder, minutes, at48k);
    std::printf("the user's mix from 48 kHz sources (resampled to the output's 44.1 kHz)\n");
    Report("render step alone", RenderOnly(form, userSeconds), userSeconds);

    std::filesystem::remove(folder + "/mix.wav");
    std::filesystem::remove(folder + "/mix.mp3");
    std::filesystem::remove(folder + "/lame_alone.mp3");
    return 0;
}
