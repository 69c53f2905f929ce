// The depth-first branch and bound.
#include "SectorSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace optimal {

namespace {

// Bounds within this share of the incumbent cannot improve it by more than the re-weighting
// resolves.
constexpr double kBoundTolerance = 1e-9;

struct Node {
    std::vector<Sector> choices;
    std::shared_ptr<const NodeOutcome> parent;  // shared by both children
};

bool isComplete(const std::vector<Sector>& choices) {
    return std::find(choices.begin(), choices.end(), Sector::hull) == choices.end();
}

class Search {
  public:
    Search(const VesselModel& model, const std::vector<Sector>& previous,
           const NodeEvaluator& evaluate, const SearchLimits& limits)
        : model_(model), previous_(previous), evaluate_(evaluate), limits_(limits) {}

    SearchResult run(const NodeOutcome& seed) {
        const std::vector<Sector> root(model_.sectorRows().size(), Sector::hull);
        NodeOutcome rootOutcome;
        evaluateNode(root, seed, rootOutcome);
        if (!rootOutcome.solved) {
            return result_;  // no choice is feasible
        }
        std::vector<Sector> settled = root;
        int branchRow = -1;
        const bool rootSettles = classify(rootOutcome, settled, branchRow);
        const bool hasPrevious = isComplete(previous_);
        if (rootSettles && (!hasPrevious || settled == previous_)) {
            accept(settled, std::move(rootOutcome), hasPrevious);
            return result_;
        }
        if (hasPrevious) {
            // From the previous request's answer to the same choice: nearer than the root's.
            NodeOutcome kept;
            evaluateNode(previous_, seed, kept);
            if (kept.solved) {
                accept(previous_, std::move(kept), true);
            }
        }
        if (rootSettles) {
            consider(settled, std::move(rootOutcome));
            return result_;
        }
        branch(root, std::move(rootOutcome), branchRow);
        while (!stack_.empty()) {
            if (result_.nodes >= limits_.nodeCap) {
                result_.capped = true;
                break;
            }
            Node node = std::move(stack_.back());
            stack_.pop_back();
            if (node.parent->cost >= threshold()) {
                continue;  // the parent's bound holds for the child too
            }
            NodeOutcome outcome;
            evaluateNode(node.choices, *node.parent, outcome);
            if (!outcome.solved || outcome.cost >= threshold()) {
                continue;
            }
            std::vector<Sector> leaf = node.choices;
            int row = -1;
            if (classify(outcome, leaf, row)) {
                consider(leaf, std::move(outcome));
            } else {
                branch(node.choices, std::move(outcome), row);
            }
        }
        return result_;
    }

  private:
    void evaluateNode(const std::vector<Sector>& choices, const NodeOutcome& parent,
                      NodeOutcome& outcome) {
        ++result_.nodes;
        evaluate_(choices, parent, threshold(), outcome);
    }

    // A cost to beat: the incumbent's, or a margin below it while the incumbent is the
    // previous choice.
    double threshold() const {
        if (!result_.found) {
            return std::numeric_limits<double>::infinity();
        }
        const double target = incumbentIsPrevious_
                                  ? result_.outcome.cost / (1.0 + limits_.switchMargin)
                                  : result_.outcome.cost;
        return target - kBoundTolerance * std::fabs(target);
    }

    void accept(const std::vector<Sector>& sectors, NodeOutcome&& outcome, bool previous) {
        result_.found = true;
        result_.sectors = sectors;
        result_.outcome = std::move(outcome);
        incumbentIsPrevious_ = previous;
    }

    void consider(const std::vector<Sector>& sectors, NodeOutcome&& outcome) {
        if (outcome.cost < threshold()) {
            accept(sectors, std::move(outcome), sectors == previous_);
        }
    }

    // Fills the relaxed rows whose force lies in a sector; returns true when all do, else
    // names the row farthest outside.
    bool classify(const NodeOutcome& outcome, std::vector<Sector>& choices, int& branchRow) const {
        const std::vector<int>& rows = model_.sectorRows();
        double farthest = -1.0;
        bool all = true;
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (choices[k] != Sector::hull) {
                continue;
            }
            const double x = outcome.x(2 * rows[k]);
            const double y = outcome.x(2 * rows[k] + 1);
            const bool forward = model_.inSector(rows[k], x, y, Sector::forward);
            const bool reverse = model_.inSector(rows[k], x, y, Sector::reverse);
            if (forward && reverse) {  // zero force: either sector, the previous one first
                choices[k] = previous_[k] == Sector::reverse ? Sector::reverse : Sector::forward;
            } else if (forward || reverse) {
                choices[k] = forward ? Sector::forward : Sector::reverse;
            } else {
                all = false;
                const double outside = model_.outsideSectors(rows[k], x, y);
                if (outside > farthest) {
                    farthest = outside;
                    branchRow = static_cast<int>(k);
                }
            }
        }
        return all;
    }

    // Children of a node on row k; the preferred one is popped first.
    void branch(const std::vector<Sector>& choices, NodeOutcome&& outcome, int k) {
        const std::size_t kk = static_cast<std::size_t>(k);
        Sector preferred = previous_[kk];
        if (preferred == Sector::hull) {
            const RowModel& r = model_.row(model_.sectorRows()[kk]);
            const double along = outcome.x(2 * model_.sectorRows()[kk]) * std::cos(r.centre) +
                                 outcome.x(2 * model_.sectorRows()[kk] + 1) * std::sin(r.centre);
            preferred = along >= 0.0 ? Sector::forward : Sector::reverse;
        }
        const Sector other = preferred == Sector::forward ? Sector::reverse : Sector::forward;
        const auto parent = std::make_shared<const NodeOutcome>(std::move(outcome));
        for (const Sector s : {other, preferred}) {
            Node child{choices, parent};
            child.choices[kk] = s;
            stack_.push_back(std::move(child));
        }
    }

    const VesselModel& model_;
    const std::vector<Sector>& previous_;
    const NodeEvaluator& evaluate_;
    const SearchLimits& limits_;
    std::vector<Node> stack_;
    SearchResult result_;
    bool incumbentIsPrevious_ = false;
};

}  // namespace

SearchResult searchSectors(const VesselModel& model, const std::vector<Sector>& previous,
                           const NodeOutcome& seed, const NodeEvaluator& evaluate,
                           const SearchLimits& limits) {
    return Search(model, previous, evaluate, limits).run(seed);
}

}  // namespace optimal
