// The engine's debug messages reported from several threads at once.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/EngineInterface.h"

// Two threads report at the same moment: every message is kept, each thread's in order. A sink
// then receives messages instead of the collection (null texts are dropped), and nullptr
// restores collecting.
TEST(DebugMessagesThreaded, ReportersAndSink) {
    globalEngineTakeDebugMessages();
    auto report = [](char who) {
        for (int i = 0; i < 2000; ++i)
            globalEngine->ShowDebugMessage((who + std::to_string(i)).c_str());
    };
    std::thread a(report, 'a'), b(report, 'b');
    a.join();
    b.join();
    const std::vector<std::string> messages = globalEngineTakeDebugMessages();
    ASSERT_EQ(messages.size(), 4000u);
    int next[2] = {0, 0};
    for (const std::string& m : messages)
        EXPECT_EQ(m.substr(1), std::to_string(next[m[0] == 'a' ? 0 : 1]++));

    std::vector<std::string> seen;
    globalEngineSetDebugSink([&seen](const char* text) { seen.emplace_back(text); });
    std::thread([] { globalEngine->ShowDebugMessage("from worker"); }).join();
    globalEngine->ShowDebugMessage(nullptr);
    globalEngineSetDebugSink(nullptr);
    globalEngine->ShowDebugMessage("collected");
    EXPECT_EQ(seen, std::vector<std::string>{"from worker"});
    EXPECT_EQ(globalEngineTakeDebugMessages(), std::vector<std::string>{"collected"});
}
