// The ring of transfer buffers a stream thread fills while one reader takes
// the newest complete one. The write index (entry being filled next) and the
// read index (entry the reader holds or will read) share one atomic word, so
// every change of either is made knowing the other's current value: the
// writer can never move into the entry the reader has claimed, and the reader
// never claims the entry being filled.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace calidra {

class TransferRing {
public:
    TransferRing() = default;
    TransferRing(const TransferRing&) = delete;
    TransferRing& operator=(const TransferRing&) = delete;

    // entries buffers of words 16-bit values, zeroed; both indexes 0. false
    // (and no buffers) when memory runs out. Not while a stream runs.
    bool Allocate(int entries, std::size_t words);
    void Release();
    int Size() const { return static_cast<int>(entries_.size()); }
    std::size_t Words() const { return words_; }
    std::uint16_t* Entry(int index) { return entries_[static_cast<std::size_t>(index)].data(); }

    // Both indexes back to 0 (before a stream starts).
    void ResetIndexes() { SetIndexes(0, 0); }
    void SetIndexes(int writeIndex, int readIndex);
    int WriteIndex() const;
    int ReadIndex() const;

    // Writer: entry index has been filled (or failed). The write index moves
    // on to the next entry, or the one after when the next is the reader's.
    void Publish(int index);
    // Reader: the number of entries completed since the read index (0 to
    // Size() - 1). When there are any, the read index jumps to the newest of
    // them; older ones are dropped.
    int ClaimNewest();
    // Reader: whether ClaimNewest would find an entry now (it claims nothing).
    bool HasCompleted() const;
    // Reader: done with the claimed entry; the read index moves on by one.
    void AdvanceRead();

private:
    static std::uint32_t Pack(int writeIndex, int readIndex) {
        return static_cast<std::uint32_t>(writeIndex) | (static_cast<std::uint32_t>(readIndex) << 16);
    }
    static int WriteOf(std::uint32_t state) { return static_cast<int>(state & 0xFFFF); }
    static int ReadOf(std::uint32_t state) { return static_cast<int>(state >> 16); }

    std::vector<std::vector<std::uint16_t>> entries_;
    std::size_t words_ = 0;
    // Write index in the low 16 bits, read index in the high 16 bits.
    std::atomic<std::uint32_t> indexes_{0};
};

}  // namespace calidra
