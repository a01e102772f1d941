#include "platform/trace/UserMessage.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace {
std::mutex sinkLock; // installing races with messages from loader and sound threads
UserMessageSink messageSink;
BreatheHook breatheHook; // installed and run on the UI thread only
}

void ShowUserMessage(const std::string& text)
{
    UserMessageSink sink;
    {
        std::lock_guard<std::mutex> lock(sinkLock);
        sink = messageSink;
    }
    if (sink)
        sink(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

UserMessageSink SetUserMessageSink(UserMessageSink sink)
{
    std::lock_guard<std::mutex> lock(sinkLock);
    std::swap(messageSink, sink);
    return sink;
}

void LetUiBreathe()
{
    if (breatheHook)
        breatheHook();
}

BreatheHook SetBreatheHook(BreatheHook hook)
{
    std::swap(breatheHook, hook);
    return hook;
}

struct UserMessageRecorder::State {
    mutable std::mutex lock;
    std::vector<std::string> texts;
};

UserMessageRecorder::UserMessageRecorder() : state_(new State)
{
    State* state = state_;
    previous_ = SetUserMessageSink([state](const std::string& text) {
        std::lock_guard<std::mutex> lock(state->lock);
        state->texts.push_back(text);
    });
}

UserMessageRecorder::~UserMessageRecorder()
{
    SetUserMessageSink(std::move(previous_));
    delete state_;
}

std::vector<std::string> UserMessageRecorder::Texts() const
{
    std::lock_guard<std::mutex> lock(state_->lock);
    return state_->texts;
}
