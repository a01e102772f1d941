// Speed of the export window on a 60-minute mix of 20 rows: the render step alone, the export to
// WAV, the export to MP3, and `lame` alone encoding the same PCM (the bound of the MP3 export).
// Prints the figures as multiples of real time. Optional argument: the mix length in minutes.

#include <QApplication>
#include <QLineEdit>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "cd/form_SaveToWav.h"
#include "model/class_Switches.h"
#include "bench_mix.h"

using namespace sonorel_test;
using sonorel_bench::BuildMix;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double RenderOnly(const TFormSaveToWav& form, float mixSeconds)
{
    std::vector<char> block(TEncoderNode::BlockBytes);
    snl.WavProducer.WavMix.Format = form.ExportFormat();
    snl.WavProducer.SetNeedlePos(snl.mixdata, 0.0f, false, -1);
    const auto start = Clock::now();
    for (double done = 0; done < mixSeconds; done += 2.0)
        snl.WavProducer.RenderStep(block.data(), TEncoderNode::BlockBytes);
    const double took = Seconds(start);
    snl.WavProducer.Stop();
    return took;
}

double Export(TFormSaveToWav& form, bool wav, const std::string& path)
{
    form.SetMode(wav);
    form.filename->setText(QString::fromStdString(path));
    const auto start = Clock::now();
    form.saveClick();
    const double took = Seconds(start);
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

    BuildMix(folder, minutes);
    const float mixSeconds = snl.mixdata.TotalLength();
    std::printf("mix: %d rows, %.1f s\n", snl.mixdata.Count(), mixSeconds);

    TFormSaveToWav form;
    const double render = RenderOnly(form, mixSeconds);
    const double wav = Export(form, true, folder + "/mix.wav");
    // lame alone before and after the MP3 export, so that a busy machine weighs on both sides.
    const double lameBefore = LameAlone(folder + "/mix.wav", folder + "/lame_alone.mp3");
    const double mp3 = Export(form, false, folder + "/mix.mp3");
    const double lame = (lameBefore + LameAlone(folder + "/mix.wav", folder + "/lame_alone.mp3")) / 2;

    std::printf("render step alone : %7.2f s  %7.1fx real time\n", render, mixSeconds / render);
    std::printf("export to WAV     : %7.2f s  %7.1fx real time\n", wav, mixSeconds / wav);
    std::printf("export to MP3     : %7.2f s  %7.1fx real time\n", mp3, mixSeconds / mp3);
    std::printf("lame alone (mean) : %7.2f s  %7.1fx real time\n", lame, mixSeconds / lame);
    std::printf("MP3 export / lame alone: %.1f %% of lame's speed\n", 100.0 * lame / mp3);
    std::filesystem::remove(folder + "/mix.wav");
    std::filesystem::remove(folder + "/mix.mp3");
    std::filesystem::remove(folder + "/lame_alone.mp3");
    return 0;
}
