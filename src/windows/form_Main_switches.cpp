// The automation switches that the main window runs once, at the end of its first activation.
#include "windows/form_Main.h"

#include "model/class_Folders.h"
#include "model/class_Switches.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ShellOpen.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {

// The size of the file, 0 when it does not exist.
qint64 GetFileLength(const std::string& path)
{
    return path.empty() ? 0 : QFileInfo(QString::fromStdString(path)).size();
}

} // namespace

std::string TestWavPath()
{
    return GetAppDataFolder() + "/sonorel_test.wav";
}

std::string TestProjectPath()
{
    return GetAppDataFolder() + "/sonorel_test.snmx";
}

void TFormMain::RunSwitchesBeforeProject()
{
    if (IsSwitch("helptest") || IsSwitch("alltests"))
        HelpTopicsTest();
    if (IsSwitch("help"))
        HelpButtonClick();
    if (IsSwitch("openmp3")) {
        ClearProject();
        AudioOpen.FileName = SwitchValue("openmp3");
        openmp3Click(nullptr);
    }
}

void TFormMain::RunSwitchesAfterProject()
{
    if (IsSwitch("cdrip"))
        cdtrackClick();
    if (IsSwitch("ide")) {
        LoadProject(TestProjectPath());
        ShowPage(PagePlaylistIndex);
    }
    if (IsSwitch("mixview")) {
        MixViewMenu->setVisible(true);
        MixViewMenuClick();
    }
    if (IsSwitch("transition"))
        TransitionDblClick();
    if (IsSwitch("zoneedit"))
        LoopEditorClick();
    if (IsSwitch("loadrepos"))
        loadreposClick();
    if (IsSwitch("towav"))
        ExportTo(TestWavPath());
    if (IsSwitch("record"))
        recordClick();
    if (IsSwitch("alltests")) {
        QFile::remove(QString::fromStdString(TestWavPath()));
        ExportTo(TestWavPath());
        if (!QFileInfo(QString::fromStdString(TestWavPath())).isFile())
            throw std::runtime_error("test wav test failed, result file doesn't exist");
        if (GetFileLength(TestWavPath()) == 0)
            throw std::runtime_error("zero file result");
        ui::ShowMessage("out to wav test passed");
    }
    if (IsSwitch("towavtest")) {
        ExportTo(TestWavPath());
        ui::ShellOpen(TestWavPath());
    }
    if (IsSwitch("transformation"))
        TransformationDblClick();
    if (IsSwitch("cdburn"))
        cdburnClick();
    if (IsSwitch("close"))
        close();
}
