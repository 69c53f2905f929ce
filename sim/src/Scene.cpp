// The host scene of the run command and the host's side of the request cycle.
#include "Scene.h"

#include <cstring>

#include "scenario/JsonInput.h"

namespace kestrom_sim {

using namespace kestrom_links;

namespace {

class JournalRowIndex : public Vro_ArrayRowIndex {
  public:
    JournalRowIndex(Vro_ArrayTable& table, LinkWriteJournal& journal)
        : Vro_ArrayRowIndex(table), journal_(&journal) {}
    void SetValue(float value) override {
        Vro_ArrayRowIndex::SetValue(value);
        journal_->rowSelected(static_cast<int>(value));
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

std::vector<PublishedCells> tableCells(Vro_ArrayTable& table) {
    std::vector<PublishedCells> rows;
    for (int r = 0; r < table.RowCount(); ++r) {
        rows.push_back({table.Cell(r, kForceCell), table.Cell(r, kAngleCell)});
    }
    return rows;
}

// The shutdown writes "Error?" last, after the table: the flag's write sees the zeroed table.
class JournalErrorFlag : public Vro_ValueChannel {
  public:
    JournalErrorFlag(Vro_ArrayTable& table, LinkWriteJournal& journal)
        : table_(&table), journal_(&journal) {}
    void SetValue(float value) override {
        Vro_ValueChannel::SetValue(value);
        journal_->errorFlagWritten(
            value, value != 0.0f ? tableCells(*table_) : std::vector<PublishedCells>());
    }

  private:
    Vro_ArrayTable* table_;
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

void LinkWriteJournal::rowSelected(int row) {
    if (onHostThread()) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_.hostRowSelects;
        selectedRows_.push_back(row);
    }
}

void LinkWriteJournal::errorFlagWritten(float value, std::vector<PublishedCells> rows) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (value != 0.0f) {
        // The shutdown text is the last one written before the flag.
        shutdowns_.push_back({messages_.empty() ? "" : messages_.back(), std::move(rows)});
    }
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

std::vector<RequestResult::Shutdown> LinkWriteJournal::takeShutdowns() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<RequestResult::Shutdown> taken;
    taken.swap(shutdowns_);
    return taken;
}

std::vector<int> LinkWriteJournal::takeSelectedRows() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> taken;
    taken.swap(selectedRows_);
    return taken;
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

// The floats the host's table holds for a row.
static kestrom_scene::RowCells rowCells(const ScenarioRow& row) {
    kestrom_scene::RowCells cells{};
    for (std::size_t c = 0; c < cells.size(); ++c) {
        cells[c] = static_cast<float>(row[c]);
    }
    return cells;
}

Scene::Scene(ChannelPtr channel, const Scenario& scenario, const std::string& pluginName)
    : scenario_(scenario),
      host_(static_cast<int>(scenario.rows.size())),
      channel_(std::move(channel)) {
    const std::string mismatch = kestrom_scene::linkMismatch(*channel_);
    if (!mismatch.empty()) {
        throw InputError(pluginName, "", mismatch);
    }
    for (std::size_t r = 0; r < scenario.rows.size(); ++r) {
        host_.setRow(static_cast<int>(r), rowCells(scenario.rows[r]));
    }
    host_.replaceChild(kRowIndex, std::make_unique<JournalRowIndex>(host_.table(), journal_));
    host_.replaceChild(kErrorMessage, std::make_unique<JournalText>(journal_));
    host_.replaceChild(kErrorFlag, std::make_unique<JournalErrorFlag>(host_.table(), journal_));
    for (unsigned int link = 0; link < kLinkCount; ++link) {
        const int cell = columnCell(link);
        const bool absentColumn =
            cell >= 0 && !scenario.hasColumn[static_cast<std::size_t>(link - kForceColumn)];
        // Without "actionInExtrema" the link stays open and the channel uses its default.
        const bool absentAction = link == kActionInExtrema && !scenario.actionInExtrema;
        if (!absentColumn && !absentAction) {
            host_.connect(*channel_, link);
        }
    }
    if (scenario.actionInExtrema) {
        host_.value(kActionInExtrema).SetValue(static_cast<float>(*scenario.actionInExtrema));
    }
}

Scene::~Scene() {
    channel_.reset();
}

Scene::CallKind Scene::callChannel() {
    const LinkWriteJournal::Counts before = journal_.counts();
    journal_.takeSelectedRows();
    channel_->CallChannel();
    const LinkWriteJournal::Counts after = journal_.counts();
    if (after.hostPublications > before.hostPublications) {
        publishedRows_ = journal_.takeSelectedRows();
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
    started_ = std::chrono::steady_clock::now();
    publishedRows_.clear();
    host_.setDemand(demand[0], demand[1], demand[2]);

    // A computation left from a failed request may still be finishing; the request is read
    // by the first call that finds the channel idle.
    bool refusedWhileReading = false;
    Pause pause;
    journal_.takeMessages();
    journal_.takeShutdowns();
    for (;;) {
        const int hostShutdownsBefore = journal_.counts().hostShutdowns;
        if (callChannel() == CallKind::idleRead) {
            refusedWhileReading = journal_.counts().hostShutdowns > hostShutdownsBefore;
            break;
        }
        // What a computation left from an earlier request wrote belongs to that request.
        journal_.takeMessages();
        journal_.takeShutdowns();
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
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    if (end == RequestEnd::timedOut) {
        // The worker may still write the outputs: they are not read.
        return result;
    }
    result.rows = tableCells(host_.table());
    result.shutdowns = journal_.takeShutdowns();
    result.publishedRows = end == RequestEnd::published ? publishedRows_ : std::vector<int>();
    const D3DXVECTOR3 thrust = host_.vector(kThrustGenerated).GetVector();
    result.outputs.thrustGenerated = {thrust.x, thrust.y, thrust.z};
    result.outputs.energy = host_.value(kEnergyGenerated).GetValue();
    result.outputs.activeThrusters = host_.value(kPreviousActive).GetValue();
    const char* text = host_.text(kErrorMessage).GetText();
    result.outputs.errorMessage = text != nullptr ? text : "";
    result.outputs.error = host_.value(kErrorFlag).GetValue();
    std::vector<std::string> messages = journal_.takeMessages();
    if (!messages.empty()) {
        messages.pop_back();
    }
    result.overwrittenMessages = std::move(messages);
    return result;
}

}  // namespace kestrom_sim
