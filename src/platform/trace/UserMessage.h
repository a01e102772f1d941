#pragma once

#include <functional>
#include <string>
#include <vector>

// Layers without a window system (the engine, the sound layer) tell the person about a failure
// through this sink, and let the UI breathe during long work through the hook; the application
// installs both at start-up, as the trace window installs itself as the trace target.

using UserMessageSink = std::function<void(const std::string& text)>;
using BreatheHook = std::function<void()>;

// Hands the text to the installed sink; with none installed the text goes to standard error so
// that nothing is lost. Callable from any thread: the sink must not block on a person.
void ShowUserMessage(const std::string& text);

// Returns the sink that was installed before (nullptr when none), so a caller can put it back.
UserMessageSink SetUserMessageSink(UserMessageSink sink);

// Runs the installed hook once (nothing without one). Only the UI thread may call it.
void LetUiBreathe();
BreatheHook SetBreatheHook(BreatheHook hook);

// Tests install a recorder: while it lives, every message is recorded instead of shown.
class UserMessageRecorder {
public:
    UserMessageRecorder();
    ~UserMessageRecorder();
    UserMessageRecorder(const UserMessageRecorder&) = delete;
    UserMessageRecorder& operator=(const UserMessageRecorder&) = delete;

    std::vector<std::string> Texts() const;

private:
    struct State;
    State* state_;
    UserMessageSink previous_;
};
