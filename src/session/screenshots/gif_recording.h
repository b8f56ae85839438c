// An animated GIF written as it is recorded: each frame goes to the file when the next
// different one comes, so that nothing but the frame on show is held in memory. The
// file is made beside its target and put in place whole when the recording ends; a
// recording that fails or is dropped leaves nothing behind.
//
// Frames come with the time (in milliseconds, from any origin) from which they were
// shown. A frame equal to the one before only lengthens it. GIF delays count hundredths
// of a second; each frame's delay is its end rounded less its start rounded, so that
// rounding never adds up and the delays together give the recording's length. Browsers
// show delays under gifMinimumDelay as a tenth of a second, so a frame shown for less
// is replaced by the one after it (which takes over its start).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "files/file_io.h"
#include "text/failure.h"

namespace vantrel {

struct GifColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

inline constexpr int gifMinimumDelay = 2;       // hundredths of a second
inline constexpr int gifLongestDelay = 0xFFFF;  // a longer frame is written again

class GifRecording {
public:
    GifRecording();
    ~GifRecording();
    GifRecording(const GifRecording&) = delete;
    GifRecording& operator=(const GifRecording&) = delete;

    // A looping animation of width x height pixels, each pixel an index into the
    // palette (1 to 256 colours). Fails with the system's reason, or for sizes that a
    // GIF cannot hold.
    Result<> start(const std::string& path, int width, int height,
                   const std::vector<GifColour>& palette);
    // The frame shown from timeMs on: width x height indices, rows top first. Times
    // never go back (an earlier one counts as the time before). A failure ends the
    // recording, and its file is removed.
    Result<> addFrame(std::span<const uint8_t> pixels, uint64_t timeMs);
    // The last frame shown until timeMs; the file put in place.
    Result<> finish(uint64_t timeMs);
    // Ends without a file.
    void abandon();

    bool recording() const;
    // Milliseconds from the first frame to timeMs (0 before it).
    uint64_t elapsedMs(uint64_t timeMs) const;
    // Frames written to the file so far (the one on show is not yet).
    std::size_t framesWritten() const { return framesWritten_; }

private:
    struct Encoder;
    Result<> writeFrame(const std::vector<uint8_t>& pixels, uint64_t delay);
    Result<> fail(Failure failure);

    std::unique_ptr<Encoder> encoder_;
    FileStream stream_;
    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> shown_;  // the frame on show, not yet written
    bool haveFrame_ = false;
    uint64_t firstMs_ = 0;
    uint64_t lastMs_ = 0;
    uint64_t shownFromCs_ = 0;  // where the frame on show starts, rounded
    std::size_t framesWritten_ = 0;
};

}  // namespace vantrel
