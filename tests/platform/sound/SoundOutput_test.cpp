// The sound threads' scheduling: the output thread (here the null output's) and the recording
// thread ask for real-time priority, report the system's answer and trace it once, and again only
// when it changes. Alone in its program: the first answer of the process is traced here.

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <system_error>
#include <thread>

#include "platform/sound/SoundRecord.h"
#include "platform/trace/Trace.h"
#include "support/trace_lines.h"

namespace {

// What this machine answers a thread that asks for the priority the sound threads ask for.
std::string MachineAnswer()
{
    int answer = 0;
    std::thread([&] {
        sched_param param{};
        param.sched_priority = sched_get_priority_min(SCHED_FIFO) + 9;
        answer = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }).join();
    return answer == 0 ? "granted" : "refused: " + std::system_category().message(answer);
}

// Runs `work` on a thread that may not raise its priority: CAP_SYS_NICE leaves its effective set
// and the soft real-time priority limit is 0 meanwhile. The threads it starts inherit that.
void WithoutPermission(const std::function<void()>& work)
{
    rlimit saved{};
    getrlimit(RLIMIT_RTPRIO, &saved);
    rlimit none = saved;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_RTPRIO, &none);
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2]{};
        syscall(SYS_capget, &header, data);
        data[CAP_TO_INDEX(CAP_SYS_NICE)].effective &= ~CAP_TO_MASK(CAP_SYS_NICE);
        syscall(SYS_capset, &header, data);
        work();
    }).join();
    setrlimit(RLIMIT_RTPRIO, &saved);
}

// Polls `answer` until a thread has asked (generously: a busy machine may start it late).
template <typename Read>
std::string WhenAsked(Read answer)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::string text;
    while ((text = answer()).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return text;
}

// Starts the null output, then the null input, and returns what each reported.
std::pair<std::string, std::string> StartOutputAndInput()
{
    std::pair<std::string, std::string> answers;
    if (BASS_Init(BASS_DEVICE_NOSOUND, 44100, 0, nullptr, nullptr) && BASS_Start())
        answers.first = WhenAsked([] { return BASS_GetOutputInfo().realTimePriority; });
    BASS_Free();
    int nullInput = 0; // listed last
    while (!BASS_RecordGetDeviceText(nullInput + 1).empty())
        ++nullInput;
    auto ignore = [](BassHandle, const void*, uint32_t, void*) { return true; };
    if (BASS_RecordInit(nullInput) && BASS_RecordStart(44100, 2, 0, ignore, nullptr))
        answers.second = WhenAsked([] { return BASS_RecordGetInfo().realTimePriority; });
    BASS_RecordFree();
    return answers;
}

TEST(SoundThreadPriority, EachThreadReportsTheAnswerAndTheTraceSaysItOnceAndOnEveryChange)
{
    const std::string machine = MachineAnswer();
    const std::string refused = "refused: " + std::system_category().message(EPERM);
    sonorel_test::TraceLines lines;
    SetTraceTarget(&lines);

    EXPECT_EQ(StartOutputAndInput(), std::make_pair(machine, machine));
    EXPECT_EQ(StartOutputAndInput(), std::make_pair(machine, machine)) << "a restarted thread asks again";
    std::pair<std::string, std::string> withoutPermission;
    WithoutPermission([&] { withoutPermission = StartOutputAndInput(); });
    EXPECT_EQ(withoutPermission, std::make_pair(refused, refused));
    EXPECT_EQ(StartOutputAndInput(), std::make_pair(machine, machine));

    DrainTraceRing();
    SetTraceTarget(nullptr);
    std::vector<std::string> said;
    for (const std::string& line : lines.Lines())
        if (line.rfind("real-time priority", 0) == 0)
            said.push_back(line);
    std::vector<std::string> expected{"real-time priority " + machine};
    if (machine != refused) // the answer changed to a refusal and back
        expected.insert(expected.end(), {"real-time priority " + refused, "real-time priority " + machine});
    EXPECT_EQ(said, expected);
}

} // namespace
