#include "platform/trace/UserMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(UserMessage, ARecorderTakesTheMessagesAndPutsThePreviousSinkBack)
{
    UserMessageRecorder outer;
    ShowUserMessage("first");
    {
        UserMessageRecorder inner;
        ShowUserMessage("second");
        EXPECT_EQ(inner.Texts(), std::vector<std::string>{"second"});
    }
    ShowUserMessage("third");
    EXPECT_EQ(outer.Texts(), (std::vector<std::string>{"first", "third"}));
}

TEST(UserMessage, TheBreatheHookRunsOnlyWhileInstalled)
{
    int breaths = 0;
    LetUiBreathe();
    const BreatheHook previous = SetBreatheHook([&] { ++breaths; });
    LetUiBreathe();
    LetUiBreathe();
    SetBreatheHook(previous);
    LetUiBreathe();
    EXPECT_EQ(breaths, 2);
}
