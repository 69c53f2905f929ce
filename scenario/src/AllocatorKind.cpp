// The two allocators by name.
#include "scenario/AllocatorKind.h"

#include "allocation/RequestPipeline.h"
#include "optimal/OptimalCycleAllocator.h"

namespace kestrom_sim {

std::optional<AllocatorKind> allocatorNamed(const std::string& name) {
    if (name == "default") {
        return AllocatorKind::standard;
    }
    if (name == "optimal") {
        return AllocatorKind::optimal;
    }
    return std::nullopt;
}

const char* allocatorName(AllocatorKind kind) {
    return kind == AllocatorKind::optimal ? "optimal" : "default";
}

struct CycleAllocator::Allocators {
    PipelineAllocator standard;
    optimal::OptimalCycleAllocator optimal;
};

CycleAllocator::CycleAllocator(AllocatorKind kind)
    : allocators_(std::make_unique<Allocators>()), kind_(kind) {}

CycleAllocator::CycleAllocator(const CycleAllocator& other)
    : allocators_(std::make_unique<Allocators>(*other.allocators_)), kind_(other.kind_) {}
CycleAllocator::CycleAllocator(CycleAllocator&&) noexcept = default;
CycleAllocator& CycleAllocator::operator=(CycleAllocator&&) noexcept = default;
CycleAllocator::~CycleAllocator() = default;

Allocator& CycleAllocator::get() {
    if (kind_ == AllocatorKind::optimal) {
        return allocators_->optimal;
    }
    return allocators_->standard;
}

void CycleAllocator::reset() {
    allocators_->optimal.reset();
}

}  // namespace kestrom_sim
