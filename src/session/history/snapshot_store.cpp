#include "session/history/snapshot_store.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>

namespace vantrel {

namespace {

// Fast, and still a few hundred bytes for a quarter second of a busy calculator.
constexpr int compressionLevel = 1;
// Before the compressed XOR: the older snapshot's size (the newer one's is known).
constexpr std::size_t diffHeaderSize = 4;

void putSize(uint8_t* at, std::size_t size) {
    for (std::size_t i = 0; i < diffHeaderSize; ++i) at[i] = static_cast<uint8_t>(size >> (8 * i));
}

std::size_t getSize(const uint8_t* at) {
    std::size_t size = 0;
    for (std::size_t i = 0; i < diffHeaderSize; ++i) size |= std::size_t{at[i]} << (8 * i);
    return size;
}

}  // namespace

struct SnapshotStore::Zstd {
    ZSTD_CCtx* compress = ZSTD_createCCtx();
    ZSTD_DCtx* decompress = ZSTD_createDCtx();
    ~Zstd() {
        ZSTD_freeCCtx(compress);
        ZSTD_freeDCtx(decompress);
    }
};

SnapshotStore::SnapshotStore(std::size_t capacity)
    : zstd_(std::make_unique<Zstd>()),
      ring_(std::max<std::size_t>(capacity, 1)),
      newest_(snapshotSizeLimit),
      scratch_(snapshotSizeLimit),
      packed_(diffHeaderSize + ZSTD_compressBound(snapshotSizeLimit)) {}

SnapshotStore::~SnapshotStore() = default;

bool SnapshotStore::push(std::span<const uint8_t> snapshot) {
    if (snapshot.size() > snapshotSizeLimit || !zstd_->compress) return false;
    if (count_ > 0) {
        // The newest becomes the older side of a difference with the one arriving.
        const std::size_t span = std::max(newestSize_, snapshot.size());
        for (std::size_t i = 0; i < span; ++i)
            scratch_[i] =
                static_cast<uint8_t>(newest_[i] ^ (i < snapshot.size() ? snapshot[i] : uint8_t{0}));
        putSize(packed_.data(), newestSize_);
        const std::size_t packed = ZSTD_compressCCtx(
            zstd_->compress, packed_.data() + diffHeaderSize, packed_.size() - diffHeaderSize,
            scratch_.data(), span, compressionLevel);
        if (ZSTD_isError(packed)) return false;
        ring_[newestSlot_].assign(packed_.begin(), packed_.begin() + static_cast<std::ptrdiff_t>(
                                                                         diffHeaderSize + packed));
        newestSlot_ = (newestSlot_ + 1) % ring_.size();
        ring_[newestSlot_].clear();  // the oldest's difference, when full: its room is reused
    }
    std::copy(snapshot.begin(), snapshot.end(), newest_.begin());
    std::fill(newest_.begin() + static_cast<std::ptrdiff_t>(snapshot.size()),
              newest_.begin() + static_cast<std::ptrdiff_t>(std::max(newestSize_, snapshot.size())),
              uint8_t{0});
    newestSize_ = snapshot.size();
    count_ = std::min(count_ + 1, ring_.size());
    return true;
}

std::span<const uint8_t> SnapshotStore::newest() const {
    return {newest_.data(), count_ > 0 ? newestSize_ : 0};
}

std::size_t SnapshotStore::diffSlot(std::size_t back) const {
    return (newestSlot_ + ring_.size() - back) % ring_.size();
}

bool SnapshotStore::applyDiff(const std::vector<uint8_t>& diff, std::vector<uint8_t>& buffer,
                              std::size_t& size) const {
    if (diff.size() < diffHeaderSize || !zstd_->decompress) return false;
    const std::size_t older = getSize(diff.data());
    const std::size_t span = std::max(older, size);
    const std::size_t got =
        ZSTD_decompressDCtx(zstd_->decompress, scratch_.data(), scratch_.size(),
                            diff.data() + diffHeaderSize, diff.size() - diffHeaderSize);
    if (ZSTD_isError(got) || got != span) return false;
    for (std::size_t i = 0; i < span; ++i) buffer[i] ^= scratch_[i];
    size = older;
    return true;
}

bool SnapshotStore::dropNewest() {
    if (count_ == 0) return false;
    if (count_ > 1) {
        const std::size_t slot = diffSlot(1);
        if (!applyDiff(ring_[slot], newest_, newestSize_)) return false;
        ring_[slot].clear();
        newestSlot_ = slot;
    } else {
        std::fill(newest_.begin(), newest_.end(), uint8_t{0});
        newestSize_ = 0;
    }
    --count_;
    return true;
}

bool SnapshotStore::at(std::size_t back, std::vector<uint8_t>& out) const {
    if (back >= count_) return false;
    out.assign(newest_.begin(), newest_.end());
    std::size_t size = newestSize_;
    for (std::size_t b = 1; b <= back; ++b)
        if (!applyDiff(ring_[diffSlot(b)], out, size)) return false;
    out.resize(size);
    return true;
}

void SnapshotStore::clear() {
    for (auto& diff : ring_) diff.clear();
    std::fill(newest_.begin(), newest_.end(), uint8_t{0});
    newestSize_ = 0;
    count_ = 0;
    newestSlot_ = 0;
}

void SnapshotStore::setCapacity(std::size_t capacity) {
    capacity = std::max<std::size_t>(capacity, 1);
    if (capacity == ring_.size()) return;
    std::vector<std::vector<uint8_t>> next(capacity);
    const std::size_t keep = std::min(count_, capacity);
    for (std::size_t b = 1; b < keep; ++b) next[keep - 1 - b] = std::move(ring_[diffSlot(b)]);
    ring_ = std::move(next);
    newestSlot_ = keep > 0 ? keep - 1 : 0;
    count_ = keep;
}

std::size_t SnapshotStore::memoryBytes() const {
    std::size_t bytes = newest_.size();
    for (const auto& diff : ring_) bytes += diff.capacity();
    return bytes;
}

}  // namespace vantrel
