// The host scene of the run command and the host's side of the request cycle.
#include "Scene.h"

#include <cstring>

#include "JsonInput.h"

namespace kestrom_sim {

const std::array<const char*, 18> kLinkNames = {
    "Number of Thrusters",
    "ThrusterArrayRowIndex",
    "ForceColumn in ThrusterArray",
    "AngleColumn in ThrusterArray (RAD)",
    "RelPositionColumn in ThrusterArray",
    "TypeColumn in ThrusterArray",
    "IsActiveColumn in ThrusterArray",
    "MaxForceColumn in ThrusterArray",
    "ReversePenaltyColumn in ThrusterArray",
    "StartAngleColumn in ThrusterArray (RAD)",
    "MaxRotationColumn in ThrusterArray (RAD)",
    "Thrust Needed (Fwd, Swd, Rot)",
    "Thrust Generated (Fwd, Swd, Rot)",
    "Energy Generated",
    "Action in Extrema",
    "Number of active thrusters in previous calculation",
    "Error Message",
    "Error?",
};

namespace {

// Link indexes of the channel.
enum Link {
    kNumberOfThrusters = 0,
    kRowIndex = 1,
    kPositionColumn = 4,
    kThrustNeeded = 11,
    kThrustGenerated = 12,
    kEnergy = 13,
    kActionInExtrema = 14,
    kPreviousActive = 15,
    kErrorMessage = 16,
    kErrorFlag = 17,
};

// Cell columns of the table: force, angle, position (3 cells), then the single-cell
// columns from type on, each at the number of its link.
constexpr int kForceCell = 0;
constexpr int kAngleCell = 1;
constexpr int kPositionCell = 2;
constexpr int kTableColumns = 11;

// The link and first cell of each scenario column, in Column order.
constexpr int kColumnLink[kColumnCount] = {2, 3, 4, 5, 6, 7, 8, 9, 10};
constexpr int kColumnCell[kColumnCount] = {0, 1, 2, 5, 6, 7, 8, 9, 10};

class JournalRowIndex : public Vro_ArrayRowIndex {
  public:
    JournalRowIndex(Vro_ArrayTable& table, LinkWriteJournal& journal)
        : Vro_ArrayRowIndex(table), journal_(&journal) {}
    void SetValue(float value) override {
        Vro_ArrayRowIndex::SetValue(value);
        journal_->rowSelected();
    }

  private:
    LinkWriteJournal* journal_;
};

class JournalText : public Vro_TextChannel {
  public:
    explicit JournalText(LinkWriteJournal& journal) : journal_(&journal) {}
    void SetText(const char* text) override {
        Vro_TextChannel::SetText(text);
        journal_->messageWritten(text);
    }

  private:
    LinkWriteJournal* journal_;
};

class JournalErrorFlag : public Vro_ValueChannel {
  public:
    explicit JournalErrorFlag(LinkWriteJournal& journal) : journal_(&journal) {}
    void SetValue(float value) override {
        Vro_ValueChannel::SetValue(value);
        journal_->errorFlagWritten(value);
    }

  private:
    LinkWriteJournal* journal_;
};

// Sleeps between host calls: short at first, so that quick computations are collected
// quickly, longer while a computation takes its time.
class Pause {
  public:
    void wait() {
        std::this_thread::sleep_for(length_);
        if (length_ < std::chrono::microseconds(2000)) {
            length_ *= 2;
        }
    }

  private:
    std::chrono::microseconds length_{50};
};

}  // namespace

void LinkWriteJournal::rowSelected() {
    if (onHostThread()) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_.hostRowSelects;
    }
}

void LinkWriteJournal::errorFlagWritten(float value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!onHostThread()) {
        ++counts_.workerShutdowns;
    } else if (value == 0.0f) {
        ++counts_.hostPublications;
    } else {
        ++counts_.hostShutdowns;
    }
}

void LinkWriteJournal::messageWritten(const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.emplace_back(text != nullptr ? text : "");
}

LinkWriteJournal::Counts LinkWriteJournal::counts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

std::vector<std::string> LinkWriteJournal::takeMessages() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> taken;
    taken.swap(messages_);
    return taken;
}

Scene::Scene(ChannelPtr channel, const Scenario& scenario, const std::string& pluginName)
    : scenario_(scenario),
      table_(static_cast<int>(scenario.rows.size()), kTableColumns),
      channel_(std::move(channel)) {
    if (channel_->GetChildCount() < static_cast<int>(kLinkNames.size())) {
        throw InputError(pluginName, "",
                         "the channel has " + std::to_string(channel_->GetChildCount()) +
                             " links, expected " + std::to_string(kLinkNames.size()));
    }
    for (std::size_t i = 0; i < kLinkNames.size(); ++i) {
        const ChildCreation* record = channel_->GetChildCreation(static_cast<int>(i));
        const std::string found =
            record != nullptr
                ? std::string(record->linkName, strnlen(record->linkName, sizeof record->linkName))
                : std::string();
        if (found != kLinkNames[i]) {
            throw InputError(
                pluginName, "link " + std::to_string(i + 1),
                std::string("expected \"") + kLinkNames[i] + "\", found \"" + found + "\"");
        }
    }

    for (std::size_t r = 0; r < scenario.rows.size(); ++r) {
        for (int c = 0; c < kColumnCount; ++c) {
            const Column column = static_cast<Column>(c);
            const int cells = column == Column::position ? 3 : 1;
            for (int k = 0; k < cells; ++k) {
                table_.SetCell(static_cast<int>(r), kColumnCell[c] + k,
                               static_cast<float>(cell(scenario.rows[r], column, k)));
            }
        }
    }

    auto connect = [this](int link, std::unique_ptr<Vro_Channel> child) {
        channel_->ConnectChild(link, child.get());
        children_.push_back(std::move(child));
    };
    auto own = [&connect](int link, auto* child) {
        connect(link, std::unique_ptr<Vro_Channel>(child));
        return child;
    };
    own(kNumberOfThrusters, new Vro_ValueChannel(static_cast<float>(scenario.rows.size())));
    own(kRowIndex, new JournalRowIndex(table_, journal_));
    for (int c = 0; c < kColumnCount; ++c) {
        if (!scenario.hasColumn[c]) {
            continue;
        }
        if (static_cast<Column>(c) == Column::position) {
            own(kPositionColumn, new Vro_ArrayColumnVector(table_, kPositionCell));
        } else {
            own(kColumnLink[c], new Vro_ArrayColumnValue(table_, kColumnCell[c]));
        }
    }
    demand_ = own(kThrustNeeded, new Vro_VectorChannel());
    thrustGenerated_ = own(kThrustGenerated, new Vro_VectorChannel());
    energy_ = own(kEnergy, new Vro_ValueChannel());
    if (scenario.actionInExtrema) {
        own(kActionInExtrema, new Vro_ValueChannel(static_cast<float>(*scenario.actionInExtrema)));
    }
    activeThrusters_ = own(kPreviousActive, new Vro_ValueChannel());
    errorMessage_ = own(kErrorMessage, new JournalText(journal_));
    errorFlag_ = own(kErrorFlag, new JournalErrorFlag(journal_));
}

Scene::~Scene() {
    channel_.reset();
}

Scene::CallKind Scene::callChannel() {
    const LinkWriteJournal::Counts before = journal_.counts();
    channel_->CallChannel();
    const LinkWriteJournal::Counts after = journal_.counts();
    if (after.hostPublications > before.hostPublications) {
        return CallKind::publication;
    }
    // A call that reads the request selects every row in turn; one during a computation
    // touches no link.
    return after.hostRowSelects > before.hostRowSelects ? CallKind::idleRead : CallKind::busy;
}

RequestResult Scene::request(const Demand& demand, std::chrono::duration<double> timeout) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(timeout);
    auto late = [deadline] { return std::chrono::steady_clock::now() > deadline; };
    demand_->SetVector({static_cast<float>(demand[0]), static_cast<float>(demand[1]),
                        static_cast<float>(demand[2])});

    // A computation left from a failed request may still be finishing; the request is read
    // by the first call that finds the channel idle.
    bool refusedWhileReading = false;
    Pause pause;
    journal_.takeMessages();
    for (;;) {
        const int hostShutdownsBefore = journal_.counts().hostShutdowns;
        if (callChannel() == CallKind::idleRead) {
            refusedWhileReading = journal_.counts().hostShutdowns > hostShutdownsBefore;
            break;
        }
        journal_.takeMessages();
        if (late()) {
            return collect(demand, RequestEnd::timedOut, false);
        }
        pause.wait();
    }

    // A worker that fails shuts the thrusters down itself, from its own thread; every
    // later "Error?" write from a worker belongs to the computation this request started.
    const int shutdownsBefore = journal_.counts().workerShutdowns;
    auto failed = [this, shutdownsBefore] {
        return journal_.counts().workerShutdowns > shutdownsBefore;
    };
    Pause running;
    for (;;) {
        running.wait();
        if (failed()) {
            return collect(demand, RequestEnd::shutDown, true);
        }
        const CallKind kind = callChannel();
        if (failed()) {
            return collect(demand, RequestEnd::shutDown, true);
        }
        if (kind == CallKind::publication) {
            return collect(demand, RequestEnd::published, true);
        }
        // An idle call right after the reading one: nothing was started, so the channel
        // read the same request again and again decided that nothing needs computing, or
        // refused it when reading it shut the thrusters down.
        if (kind == CallKind::idleRead) {
            return collect(
                demand, refusedWhileReading ? RequestEnd::shutDown : RequestEnd::notStarted, false);
        }
        if (late()) {
            return collect(demand, RequestEnd::timedOut, true);
        }
    }
}

RequestResult Scene::collect(const Demand& demand, RequestEnd end, bool started) {
    RequestResult result;
    result.demand = demand;
    result.end = end;
    result.started = started;
    if (end == RequestEnd::timedOut) {
        // The worker may still write the outputs: they are not read.
        return result;
    }
    for (int r = 0; r < table_.RowCount(); ++r) {
        result.rows.push_back({table_.Cell(r, kForceCell), table_.Cell(r, kAngleCell)});
    }
    const D3DXVECTOR3 thrust = thrustGenerated_->GetVector();
    result.thrustGenerated = {thrust.x, thrust.y, thrust.z};
    result.energy = energy_->GetValue();
    result.activeThrusters = activeThrusters_->GetValue();
    const char* text = errorMessage_->GetText();
    result.errorMessage = text != nullptr ? text : "";
    result.error = errorFlag_->GetValue();
    std::vector<std::string> messages = journal_.takeMessages();
    if (!messages.empty()) {
        messages.pop_back();
    }
    result.overwrittenMessages = std::move(messages);
    return result;
}

}  // namespace kestrom_sim
