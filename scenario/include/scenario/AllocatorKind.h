// Which allocator computes a request: the default channel type's (Kestrom) or the optimal one
// (KestromOptimal). The names are the ones the command line and Python take.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "allocation/Allocator.h"

namespace kestrom_sim {

enum class AllocatorKind { standard, optimal };

// "default" or "optimal"; empty for any other name.
std::optional<AllocatorKind> allocatorNamed(const std::string& name);
const char* allocatorName(AllocatorKind kind);
// The names allocatorNamed takes, for messages: "default, optimal".
inline constexpr const char* kAllocatorNames = "default, optimal";

// One allocator of a kind, for a host that keeps it across requests (the optimal one keeps
// the previous request's state).
class CycleAllocator {
  public:
    explicit CycleAllocator(AllocatorKind kind);
    ~CycleAllocator();
    // A copy continues from the same previous request (the optimal allocator's sectors,
    // forces and active sets), as a request run on a copy of a table (Python's allocate with
    // a timeout) must to give the same result as one run on the table itself.
    CycleAllocator(const CycleAllocator& other);
    CycleAllocator& operator=(const CycleAllocator&) = delete;
    CycleAllocator(CycleAllocator&&) noexcept;
    CycleAllocator& operator=(CycleAllocator&&) noexcept;

    Allocator& get();
    // The next request starts cold, as on a new channel.
    void reset();

  private:
    struct Allocators;
    std::unique_ptr<Allocators> allocators_;
    AllocatorKind kind_;
};

}  // namespace kestrom_sim
