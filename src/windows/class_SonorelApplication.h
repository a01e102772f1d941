#pragma once

#include <QApplication>

#include <functional>
#include <string>

class TFormTrace;
extern TFormTrace* FormTrace;

// The application object: every exception that leaves an event handler reaches the application's
// exception handler here, and the program goes on running.
class TSonorelApplication : public QApplication {
    Q_OBJECT
public:
    TSonorelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs the delivery of one event; an exception it throws goes to HandleApplicationException (a
// thrown object that is no exception has an empty message) and the event counts as not handled.
bool DeliverGuarded(const std::function<bool()>& deliver);

// The application's exception handler (the main window's).
void HandleApplicationException(const std::string& message);

// Creates the program's windows, hidden, in start-up order; the main window first.
void CreateForms();
// Frees them in reverse order (at program exit).
void DestroyForms();
