// Where the main window meets the windows built beside it: the trigger window, the preferences
// window, the export window, the CD rip window and the record wizard.
#include "windows/form_Main.h"

#include "windows/form_CDRip.h"
#include "windows/form_Record.h"
#include "windows/form_SaveToWav.h"
#include "model/class_FileLog.h"
#include "platform/ui/MessageBox.h"
#include "windows/form_Preferences.h"
#include "windows/form_Trigger.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

#include <filesystem>

void TFormMain::ShowTriggerWindow(int waitState)
{
    if (!FormTrigger)
        return;
    if (waitState != 1 && waitState != 2) {
        if (FormTrigger->isVisible())
            FormTrigger->hide();
        return;
    }
    const bool keyWait = waitState == 1;
    FormTrigger->IconAnyKey->setVisible(keyWait);
    FormTrigger->IconMouse->setVisible(!keyWait);
    const QString prompt = keyWait ? "Mix was stopped. Press space bar to resume."
                                   : "Mix was stopped. Click with mouse to resume.";
    if (FormTrigger->Label->text() != prompt)
        FormTrigger->Label->setText(prompt);
    if (!FormTrigger->isVisible()) {
        FormTrigger->show();
        FormTrigger->raise();
        FormTrigger->activateWindow();
    }
}

int TFormMain::StoredDeviceIndex()
{
    return FormPreferences ? FormPreferences->GetStoredDeviceIndex() : 0;
}

void TFormMain::Image40Click()
{
    LogToFile("Preferences", true, true);
    FormPreferences->ChangeOutputSettings();
}

void TFormMain::ToWavClick()
{
    OpenExport(true);
}

void TFormMain::Image30Click()
{
    OpenExport(false);
}

void TFormMain::OpenExport(bool wavMode)
{
    LogToFile(wavMode ? "Out to wav" : "Out to mp3", true, true);
    StopMix();
    FormSaveToWav->SetMode(wavMode);
    FormSaveToWav->exec();
    StopMix();
}

bool TFormMain::cdtrackClick()
{
    LogToFile("Rip CD Track", true, true);
    if (FormCDRip->exec() != QDialog::Accepted)
        return false;
    QCoreApplication::processEvents();
    const CDRipResult rip = FormCDRip->Result();
    AddWizardSources(rip.files, rip.oneBin, rip.trackEnds);
    return true;
}

void TFormMain::recordClick()
{
    LogToFile("Record My Own", true, true);
    if (FormRecord->exec() != QDialog::Accepted)
        return;
    const std::string fileName = FormRecord->Edit1->text().toStdString();
    std::error_code missing;
    if (!fileName.empty() && std::filesystem::exists(fileName, missing))
        OpenSourceFile(fileName, true);
}

void TFormMain::ExportTo(const std::string& path)
{
    FormSaveToWav->filename->setText(QString::fromStdString(path));
    ToWavClick();
}
