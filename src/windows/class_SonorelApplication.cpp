#include "windows/class_SonorelApplication.h"

#include "platform/ui/MessageBox.h"

#include <cstdio>
#include <exception>

namespace {
std::function<void(const std::string&)> exceptionHandler;
}

TSonorelApplication::TSonorelApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    ui::InstallMessageSinks();
}

bool TSonorelApplication::notify(QObject* receiver, QEvent* event)
{
    return DeliverGuarded([&] { return QApplication::notify(receiver, event); });
}

bool DeliverGuarded(const std::function<bool()>& deliver)
{
    try {
        return deliver();
    } catch (const std::exception& error) {
        HandleApplicationException(error.what());
    } catch (...) {
        HandleApplicationException("");
    }
    return false;
}

void HandleApplicationException(const std::string& message)
{
    if (exceptionHandler)
        exceptionHandler(message);
    else
        std::fprintf(stderr, "Unhandled application exception: %s\n", message.c_str());
}

void SetApplicationExceptionHandler(std::function<void(const std::string& message)> handler)
{
    exceptionHandler = std::move(handler);
}
