// The engine's debug messages reported from several threads at once.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/EngineInterface.h"

// Two threads report at the same moment: every message is kept, each thread's in order.
TEST(DebugMessagesThreaded, TwoReportersLoseNothing) {
    globalEngineTakeDebugMessages();
    constexpr int kEach = 2000;
    auto report = [](char who) {
        for (int i = 0; i < kEach; ++i) {
            const std::string text = std::string(1, who) + std::to_string(i);
            globalEngine->ShowDebugMessage(text.c_str());
        }
    };
    std::thread a(report, 'a');
    std::thread b(report, 'b');
    a.join();
    b.join();
    const std::vector<std::string> messages = globalEngineTakeDebugMessages();
    ASSERT_EQ(messages.size(), 2u * kEach);
    int next[2] = {0, 0};
    for (const std::string& m : messages) {
        const int who = m[0] == 'a' ? 0 : 1;
        EXPECT_EQ(m.substr(1), std::to_string(next[who]));
        ++next[who];
    }
    EXPECT_EQ(next[0], kEach);
    EXPECT_TRUE(globalEngineTakeDebugMessages().empty());
}

// A sink receives messages instead of the collection, and nullptr restores collecting.
TEST(DebugMessagesThreaded, SinkReplacesCollection) {
    globalEngineTakeDebugMessages();
    std::vector<std::string> seen;
    globalEngineSetDebugSink([&seen](const char* text) { seen.emplace_back(text); });
    std::thread worker([] { globalEngine->ShowDebugMessage("from worker"); });
    worker.join();
    globalEngine->ShowDebugMessage(nullptr);
    globalEngineSetDebugSink(nullptr);
    globalEngine->ShowDebugMessage("collected");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "from worker");
    EXPECT_EQ(globalEngineTakeDebugMessages(), std::vector<std::string>{"collected"});
}
