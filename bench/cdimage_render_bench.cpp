// Speed of the CD image render of the main window on a 74-minute mix of 20 rows (a full audio
// CD): the render into the temporary WAV image, as the burn wizard has it made. Prints the figure
// as a multiple of real time. Optional argument: the mix length in minutes.

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "bench_mix.h"
#include "windows/form_CDBurn.h"
#include "model/class_Switches.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_Main.h"

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    SetCommandLine({"sonorel"});
    const double minutes = argc > 1 ? std::atof(argv[1]) : 74.0;
    const std::string folder = std::filesystem::temp_directory_path().string() + "/sonorel_cdimage_bench";
    std::filesystem::create_directories(folder);
    sonorel_bench::BuildMix(folder, minutes);
    const float mixSeconds = snl.mixdata.TotalLength();
    std::printf("mix: %d rows, %.1f s\n", snl.mixdata.Count(), mixSeconds);

    CreateForms();
    const auto start = Clock::now();
    FormMain->RenderCDImage(FormCDBurn);
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    if (FormCDBurn->ImageFileName.empty()) {
        std::fprintf(stderr, "the render made no image\n");
        return 1;
    }
    std::printf("image size        : %lld bytes\n", static_cast<long long>(std::filesystem::file_size(FormCDBurn->ImageFileName)));
    std::printf("render to image   : %7.2f s  %7.1fx real time\n", took, mixSeconds / took);
    std::filesystem::remove(FormCDBurn->ImageFileName);
    DestroyForms();
    return 0;
}
