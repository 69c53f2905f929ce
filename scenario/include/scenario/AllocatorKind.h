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
    // A copy is an allocator of the same kind that starts cold: the optimal allocator's
    // previous-request state stays with the original (a request run on a copy of a table,
    // as Python's allocate with a timeout does, starts from the table's cells alone).
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
