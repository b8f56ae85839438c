// The calculator's recent past for rewinding: a bounded run of snapshots (state file
// bytes), newest last, kept small in memory.
//
// The newest snapshot is kept whole. Each older one is kept as its difference from
// the one after it (the two XORed byte by byte, so an unchanged byte is a zero),
// compressed with zstd: consecutive snapshots a quarter second apart differ in a few
// hundred bytes of RAM, which compress to almost nothing. Stepping back undoes the
// newest difference; going back further walks the differences from the newest down.
// Beyond the bound the oldest difference is dropped, which touches no other.
//
// Adding a snapshot allocates only its compressed difference (and only where the
// ring's slot is too small for it): the XOR and compression buffers and the zstd
// contexts are made once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vantrel {

// The largest snapshot taken: the 32800 bytes and room for a model's block after them.
inline constexpr std::size_t snapshotSizeLimit = 32800 + 1024;

class SnapshotStore {
public:
    // Keeps at most capacity snapshots (at least 1).
    explicit SnapshotStore(std::size_t capacity);
    ~SnapshotStore();
    SnapshotStore(const SnapshotStore&) = delete;
    SnapshotStore& operator=(const SnapshotStore&) = delete;

    // Adds the newest snapshot, dropping the oldest when full. False (nothing kept)
    // for one larger than snapshotSizeLimit, or when compression fails.
    bool push(std::span<const uint8_t> snapshot);
    // The newest snapshot; empty when there is none.
    std::span<const uint8_t> newest() const;
    // Forgets the newest snapshot: the one before it becomes the newest. False when
    // there was none.
    bool dropNewest();
    // The snapshot `back` steps before the newest (0: the newest) into out; false when
    // there are not that many.
    bool at(std::size_t back, std::vector<uint8_t>& out) const;

    std::size_t size() const { return count_; }
    std::size_t capacity() const { return ring_.size(); }
    void clear();
    // Keeps the newest ones when the bound shrinks.
    void setCapacity(std::size_t capacity);

    // The bytes held for the snapshots: the newest whole and the compressed differences
    // (as allocated), without the fixed buffers.
    std::size_t memoryBytes() const;

private:
    struct Zstd;
    // The difference that leads from the newest back to the one `back` steps older (1
    // or more): its slot in the ring.
    std::size_t diffSlot(std::size_t back) const;
    // Undoes one difference on buffer: buffer then holds the snapshot before.
    bool applyDiff(const std::vector<uint8_t>& diff, std::vector<uint8_t>& buffer,
                   std::size_t& size) const;

    std::unique_ptr<Zstd> zstd_;
    std::vector<std::vector<uint8_t>> ring_;  // compressed differences; slot of the newest unused
    std::size_t newestSlot_ = 0;
    std::size_t count_ = 0;
    std::vector<uint8_t> newest_;  // snapshotSizeLimit bytes, newestSize_ of them used
    std::size_t newestSize_ = 0;
    mutable std::vector<uint8_t> scratch_;  // the XOR of two snapshots, with their sizes
    std::vector<uint8_t> packed_;           // one compressed difference before it is kept
};

}  // namespace vantrel
