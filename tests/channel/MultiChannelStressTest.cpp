// Eight channels in one process, each on a host thread of its own, each through many requests
// with random tables and demands; some requests carry a row the thruster model rejects, some
// channels are destroyed while they compute and replaced. Runs under ThreadSanitizer in CI.
// KESTROM_STRESS_REQUESTS sets the requests per channel (default 1500, 400 under
// ThreadSanitizer).
#include <cmath>
#include <cstdlib>
#include <random>

#include "PluginScene.h"
#include "allocation/AllocationTestSupport.h"

// glibc hands the cached stack of a finished detached worker to the next new thread and frees
// the old thread's dynamic TLS there (the plug-in's thread_local variables live in dynamic TLS,
// since it is loaded with dlopen). ThreadSanitizer does not see glibc's internal lock around
// that cache, and reports the free as racing with the finished worker's last TLS write.
extern "C" const char* __tsan_default_suppressions() {
    return "race:_dl_deallocate_tls\n";
}

namespace {

constexpr int kChannels = 8;
const std::string kRejectedRowMessage = rejectedRotationText();

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
    std::uniform_real_distribution<float> arm(-40.0f, 40.0f), maximum(1.0e3f, 1.0e5f),
        angle(0.0f, 6.28f), range(0.3f, 3.0f);
    std::vector<Row> rows(std::uniform_int_distribution<std::size_t>(2, 6)(random));
    int limited = 0;
    for (Row& row : rows) {
        row.x = arm(random), row.z = arm(random), row.maxForce = maximum(random);
        row.start = row.angle = angle(random);
        row.type = static_cast<float>(random() % 4);
        if (row.type >= 2.0f && limited < 2)
            row.maxRotation = range(random), ++limited;
        row.active = random() % 8 == 0 ? 0.0f : 1.0f;
    }
    return rows;
}

struct ChannelTally {
    int requests = 0, rejected = 0, published = 0;
};

// One channel (replaced only when destroyed mid-request) through `requests` requests.
void driveChannel(unsigned seed, int requests, ChannelTally& tally) {
    SCOPED_TRACE(testing::Message() << "channel seed " << seed);
    std::mt19937 random(seed);
    Scene scene(std::vector<Row>(6));
    std::uniform_real_distribution<float> demand(-1.5e5f, 1.5e5f);
    for (int n = 0; n < requests; ++n) {
        SCOPED_TRACE(testing::Message() << "request " << n);
        std::vector<Row> rows = randomTable(random);
        const bool reject = random() % 10 == 0;
        if (reject)  // an active row with a rotation range beyond 2 pi
            rows.back().type = 0.0f, rows.back().active = 1.0f, rows.back().maxRotation = 7.0f;
        scene.setRows(rows);
        scene.setDemand(demand(random), demand(random), 10.0f * demand(random));
        scene.action.SetValue(random() % 16 == 0 ? 7.0f : 4.0f);
        if (!reject && random() % 12 == 0) {
            scene.channel->CallChannel();
            scene.replaceChannel();
            continue;
        }
        ++tally.requests;
        tally.rejected += reject ? 1 : 0;
        scene.cycle();
        if (scene.text() != "No errors")
            continue;
        ++tally.published;
        for (std::size_t r = 0; r < rows.size(); ++r)
            if (rows[r].active >= 1.0f && std::fabs(scene.table.Cell(int(r), kForceCell)) >
                                              scene.table.Cell(int(r), kMaxForceCell))
                ADD_FAILURE() << "row " << r << ": force " << scene.table.Cell(int(r), kForceCell)
                              << " above its maximum " << scene.table.Cell(int(r), kMaxForceCell);
    }
}

struct MultiChannelStress : PluginTest {};

// Every channel ends every request, no published force exceeds its maximum, and the thread
// log holds one whole "ShutDown()" entry and one whole message entry per rejected request,
// however the shutdowns of the eight workers and host threads met.
TEST_F(MultiChannelStress, EightChannelsWithFailuresAndDestruction) {
    const int requests = requestsPerChannel();
    std::vector<ChannelTally> tallies(kChannels);
    std::vector<std::thread> hosts;
    for (int c = 0; c < kChannels; ++c)
        hosts.emplace_back(driveChannel, 1000u + unsigned(c), requests, std::ref(tallies[c]));
    for (std::thread& host : hosts)
        host.join();

    ChannelTally total;
    for (const ChannelTally& t : tallies) {
        total.requests += t.requests, total.rejected += t.rejected;
        total.published += t.published;
    }
    EXPECT_GT(total.rejected, 0);
    EXPECT_GT(total.published, total.requests / 2);

    // Entries are separated by the stamps: nothing may stand before the first one.
    std::istringstream log(logWithoutStamps("KestromThreadLog.txt"));
    std::string entry;
    ASSERT_TRUE(std::getline(log, entry, '|'));
    EXPECT_EQ(entry, "");
    int shutdowns = 0, messages = 0;
    while (std::getline(log, entry, '|')) {
        shutdowns += entry == "ShutDown()";
        messages += entry == kRejectedRowMessage;
        if (entry != "ShutDown()" && entry != kRejectedRowMessage)
            ADD_FAILURE() << "log entry not whole: \"" << entry << "\"";
    }
    EXPECT_EQ(shutdowns, total.rejected);
    EXPECT_EQ(messages, total.rejected);
}

}  // namespace
