#include "engine/class_SoundDevice.h"
#include "model/class_Switches.h"
#include "windows/Forms.h"
#include "windows/class_SonorelApplication.h"
#include "windows/form_Main.h"

#include <QMessageBox>

#include <exception>

namespace {

void ShowEscapedException(const std::string& message)
{
    QMessageBox::critical(nullptr, "Sonorel", QString::fromStdString(message));
}

} // namespace

int WinMain(int argc, char** argv)
{
    SetCommandLine(argc, argv);
    TSonorelApplication application(argc, argv);
    QApplication::setApplicationName("Sonorel");
    QApplication::setApplicationDisplayName("Sonorel");
    try {
        CreateForms();
        QObject::connect(FormMain, &TFormMain::Closed, &application, &QApplication::quit, Qt::QueuedConnection);
        FormMain->show();
        application.exec();
    } catch (const std::exception& error) {
        ShowEscapedException(error.what());
    } catch (...) {
        ShowEscapedException("");
    }
    DestroySoundDevice();
    DestroyForms();
    return 0;
}

int main(int argc, char** argv)
{
    return WinMain(argc, argv);
}
