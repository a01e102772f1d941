#pragma once

#include <QApplication>

#include <functional>
#include <string>

// The application object: every exception that leaves an event handler reaches the application's
// exception handler here, and the program goes on running. It routes the messages of the layers
// without a window system to message boxes.
class TSonorelApplication : public QApplication {
    Q_OBJECT
public:
    TSonorelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs the delivery of one event; an exception it throws goes to HandleApplicationException (a
// thrown object that is no exception has an empty message) and the event counts as not handled.
bool DeliverGuarded(const std::function<bool()>& deliver);

// The application's exception handler: the one installed (the main window installs its own), or
// a line on standard error before any is.
void HandleApplicationException(const std::string& message);
void SetApplicationExceptionHandler(std::function<void(const std::string& message)> handler);
