#include "device/TransferRing.h"

#include <new>

namespace calidra {

bool TransferRing::Allocate(int entries, std::size_t words) {
    // Entries keep their memory from one allocation to the next, as the
    // frame transfer's single buffer does.
    try {
        entries_.resize(static_cast<std::size_t>(entries < 0 ? 0 : entries));
        for (auto& entry : entries_) entry.assign(words, std::uint16_t{0});
    } catch (const std::bad_alloc&) {
        Release();
        return false;
    }
    words_ = words;
    ResetIndexes();
    return true;
}

void TransferRing::Release() {
    entries_.clear();
    entries_.shrink_to_fit();
    words_ = 0;
}

// Setting both indexes happens only while no stream thread runs (the thread
// starts after, and a thread start orders this store before all it does).
void TransferRing::SetIndexes(int writeIndex, int readIndex) {
    indexes_.store(Pack(writeIndex, readIndex), std::memory_order_relaxed);
}

int TransferRing::WriteIndex() const { return WriteOf(indexes_.load(std::memory_order_acquire)); }

int TransferRing::ReadIndex() const { return ReadOf(indexes_.load(std::memory_order_acquire)); }

void TransferRing::Publish(int index) {
    int size = Size();
    if (size == 0) return;
    std::uint32_t state = indexes_.load(std::memory_order_relaxed);
    for (;;) {
        int next = (index + 1) % size;
        if (next == ReadOf(state)) next = (next + 1) % size;
        // Release: the entry's new contents happen before any reader that
        // sees this write index. Acquire: the reader's use of the entry it
        // gave up (AdvanceRead, ClaimNewest moving off it) happens before the
        // writer fills that entry again.
        if (indexes_.compare_exchange_weak(state, Pack(next, ReadOf(state)), std::memory_order_acq_rel,
                                           std::memory_order_relaxed))
            return;
    }
}

int TransferRing::ClaimNewest() {
    int size = Size();
    if (size == 0) return 0;
    std::uint32_t state = indexes_.load(std::memory_order_acquire);
    for (;;) {
        int w = WriteOf(state);
        int r = ReadOf(state);
        if (w < r) w += size;
        int d = w - r;
        if (d < 1) return 0;
        int newest = (w - 1) % size;
        // Acquire: the contents of every entry published up to this write
        // index are visible to the reader. Release: the reader's work on the
        // entry it held before is finished before the writer may reuse it.
        if (indexes_.compare_exchange_weak(state, Pack(WriteOf(state), newest), std::memory_order_acq_rel,
                                           std::memory_order_acquire))
            return d;
    }
}

bool TransferRing::HasCompleted() const {
    const int size = Size();
    if (size == 0) return false;
    const std::uint32_t state = indexes_.load(std::memory_order_acquire);
    return WriteOf(state) != ReadOf(state);
}

void TransferRing::AdvanceRead() {
    int size = Size();
    if (size == 0) return;
    std::uint32_t state = indexes_.load(std::memory_order_relaxed);
    // Release: the reader's correction and copy of the entry are complete
    // before the writer can see the read index leave it.
    while (!indexes_.compare_exchange_weak(state, Pack(WriteOf(state), (ReadOf(state) + 1) % size),
                                           std::memory_order_release, std::memory_order_relaxed)) {
    }
}

}  // namespace calidra
