// Eight channels in one process, each on a host thread of its own, each through many requests
// with random tables and demands; some requests carry a row the thruster model rejects, some
// channels are destroyed while they compute and replaced. Runs under ThreadSanitizer in CI.
// KESTROM_STRESS_REQUESTS sets the requests per channel (default 1500, 400 under
// ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ReliabilityScene.h"
#include "channelext/FormatText.h"
#include "host/EngineInterface.h"

// glibc hands the cached stack of a finished detached worker to the next new thread and frees
// the old thread's dynamic TLS there (the plug-in's thread_local variables live in dynamic TLS,
// since it is loaded with dlopen). ThreadSanitizer does not see glibc's internal lock around
// that cache, and reports the free as racing with the finished worker's last TLS write.
extern "C" const char* __tsan_default_suppressions() {
    return "race:_dl_deallocate_tls\n";
}

namespace {

using namespace reliability;

constexpr int kChannels = 8;
const std::string kRejectedRowMessage =
    "Error in Class:Thrusterobj Function:MaxRotation. Incorrect input value.";

// ThreadSanitizer makes each request about 20 times slower.
#if defined(__SANITIZE_THREAD__)
constexpr int kDefaultRequests = 400;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr int kDefaultRequests = 400;
#else
constexpr int kDefaultRequests = 1500;
#endif
#else
constexpr int kDefaultRequests = 1500;
#endif

int requestsPerChannel() {
    const char* text = std::getenv("KESTROM_STRESS_REQUESTS");
    return text != nullptr ? std::max(1, std::atoi(text)) : kDefaultRequests;
}

// 2 to 6 thrusters; at most two of limited rotation, so that barring stays at 12^2 solves.
std::vector<Row> randomTable(std::mt19937& random) {
    std::uniform_real_distribution<float> arm(-40.0f, 40.0f);
    std::uniform_real_distribution<float> maximum(1.0e3f, 1.0e5f);
    std::uniform_real_distribution<float> angle(0.0f, 6.28f);
    std::vector<Row> rows(std::uniform_int_distribution<std::size_t>(2, 6)(random));
    int limited = 0;
    for (Row& row : rows) {
        row.x = arm(random);
        row.z = arm(random);
        row.maxForce = maximum(random);
        row.start = angle(random);
        row.angle = row.start;
        row.type = static_cast<float>(std::uniform_int_distribution<int>(0, 3)(random));
        row.maxRotation = 3.2f;
        if ((row.type == 2.0f || row.type == 3.0f) && limited < 2) {
            row.maxRotation = std::uniform_real_distribution<float>(0.3f, 3.0f)(random);
            ++limited;
        }
        row.active = random() % 8 == 0 ? 0.0f : 1.0f;
    }
    return rows;
}

struct ChannelTally {
    int requests = 0;
    int rejected = 0;     // requests with a row the model refuses: one shutdown each
    int published = 0;    // requests that ended with "No errors"
    int destroyed = 0;    // channels destroyed while computing
    int overMaximum = 0;  // published forces above their row's maximum
    int stuck = 0;        // requests that did not end within the time limit
};

// One channel (replaced only when destroyed while computing) through `requests` requests on
// a table of up to 6 rows.
void driveChannel(unsigned seed, int requests, ChannelTally& tally) {
    std::mt19937 random(seed);
    Scene scene(std::vector<Row>(6));
    std::uniform_real_distribution<float> demand(-1.5e5f, 1.5e5f);
    for (int n = 0; n < requests; ++n) {
        std::vector<Row> rows = randomTable(random);
        const bool reject = random() % 10 == 0;
        if (reject) {
            // An active row the model refuses: a rotation range beyond 2 pi.
            rows.back().type = 0.0f;
            rows.back().active = 1.0f;
            rows.back().maxRotation = 7.0f;
        }
        scene.setRows(rows);
        scene.demand.SetVector({demand(random), demand(random), 10.0f * demand(random)});
        scene.action.SetValue(random() % 16 == 0 ? 7.0f : 4.0f);
        if (!reject && random() % 12 == 0) {
            scene.channel->CallChannel();
            if (scene.busy()) {
                ++tally.destroyed;
            }
            scene.replaceChannel();
            continue;
        }
        ++tally.requests;
        tally.rejected += reject ? 1 : 0;
        if (!scene.request()) {
            ++tally.stuck;
            continue;
        }
        if (scene.text() == "No errors") {
            ++tally.published;
            for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
                if (rows[static_cast<std::size_t>(r)].active >= 1.0f &&
                    std::fabs(scene.table.Cell(r, kForce)) > scene.table.Cell(r, kMax)) {
                    ++tally.overMaximum;
                }
            }
        }
    }
}

// Every channel ends every request, no published force exceeds its maximum, and the thread
// log holds one whole "ShutDown()" entry and one whole message entry per rejected request,
// however the shutdowns of the eight workers and host threads met.
TEST(MultiChannelStress, EightChannelsWithFailuresAndDestruction) {
    InScratchDirectory scratch;
    const int requests = requestsPerChannel();
    std::vector<ChannelTally> tallies(kChannels);
    std::vector<std::thread> hosts;
    for (int c = 0; c < kChannels; ++c) {
        hosts.emplace_back(driveChannel, 1000u + static_cast<unsigned>(c), requests,
                           std::ref(tallies[static_cast<std::size_t>(c)]));
    }
    for (std::thread& host : hosts) {
        host.join();
    }

    ChannelTally total;
    for (const ChannelTally& t : tallies) {
        total.requests += t.requests;
        total.rejected += t.rejected;
        total.published += t.published;
        total.destroyed += t.destroyed;
        total.overMaximum += t.overMaximum;
        total.stuck += t.stuck;
    }
    EXPECT_EQ(total.stuck, 0);
    EXPECT_EQ(total.overMaximum, 0);
    EXPECT_GT(total.rejected, 0);
    EXPECT_GT(total.published, total.requests / 2);

    const std::vector<std::string> entries =
        logEntries(readFile(scratch.path() / "KestromThreadLog.txt"));
    int shutdowns = 0;
    int messages = 0;
    for (const std::string& entry : entries) {
        if (entry == "ShutDown()") {
            ++shutdowns;
        } else if (entry == kRejectedRowMessage) {
            ++messages;
        } else {
            ADD_FAILURE() << "log entry not whole: \"" << entry << "\"";
        }
    }
    EXPECT_EQ(shutdowns, total.rejected);
    EXPECT_EQ(messages, total.rejected);
    globalEngineTakeDebugMessages();
}

// FormatText keeps one buffer per thread: texts formatted at the same moment on eight
// threads stay each thread's own, and debug messages shown at the same time all arrive whole.
TEST(MultiChannelStress, FormatTextAndDebugMessagesFromManyThreads) {
    globalEngineTakeDebugMessages();
    constexpr int kRounds = 2000;
    std::atomic<int> mixed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kChannels; ++t) {
        threads.emplace_back([t, &mixed] {
            for (int i = 0; i < kRounds; ++i) {
                const char* text = FormatText("thread %d round %d", t, i);
                const std::string expected =
                    "thread " + std::to_string(t) + " round " + std::to_string(i);
                std::this_thread::yield();
                if (expected != text) {
                    ++mixed;
                }
                globalEngine->ShowDebugMessage(text);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mixed.load(), 0);
    const std::vector<std::string> messages = globalEngineTakeDebugMessages();
    ASSERT_EQ(messages.size(), static_cast<std::size_t>(kChannels * kRounds));
    for (const std::string& message : messages) {
        EXPECT_EQ(message.rfind("thread ", 0), 0u) << message;
    }
}

}  // namespace
