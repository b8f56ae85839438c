#include "session/screenshots/gif_recording.h"

#include <gif_lib.h>

#include <algorithm>
#include <cerrno>

namespace vantrel {

namespace {

// Hundredths of a second, rounded to the nearest.
uint64_t centiseconds(uint64_t ms) { return (ms + 5) / 10; }

// The smallest GIF colour table (a power of two, at least 2) that holds count colours.
int colourTableSize(std::size_t count) {
    int size = 2;
    while (static_cast<std::size_t>(size) < count) size *= 2;
    return size;
}

Failure gifFailure(int error) {
    return Failure::badData(std::string("The GIF encoder failed: ") + GifErrorString(error) + ".");
}

}  // namespace

// giflib's file, writing through the stream; the stream's failure, if it had one,
// stands for the encoder's own "write failed".
struct GifRecording::Encoder {
    GifFileType* gif = nullptr;
    FileStream* stream = nullptr;
    std::optional<Failure> writeFailure;
    std::vector<GifPixelType> line;

    static int put(GifFileType* gif, const GifByteType* bytes, int count) {
        auto* self = static_cast<Encoder*>(gif->UserData);
        if (self->writeFailure) return 0;
        if (const Result<> written = self->stream->write(bytes, static_cast<std::size_t>(count));
            !written) {
            self->writeFailure = written.failure();
            return 0;
        }
        return count;
    }

    // The failure of the last giflib call that returned GIF_ERROR.
    Failure failure() const { return writeFailure ? *writeFailure : gifFailure(gif->Error); }

    // Writes the trailer (when ok) and frees giflib's file. Gives its failure.
    std::optional<Failure> close() {
        if (!gif) return std::nullopt;
        int error = 0;
        const bool closed = EGifCloseFile(gif, &error) == GIF_OK;
        gif = nullptr;
        if (writeFailure) return writeFailure;
        if (!closed) return gifFailure(error);
        return std::nullopt;
    }

    ~Encoder() { (void)close(); }
};

GifRecording::GifRecording() = default;

GifRecording::~GifRecording() { abandon(); }

bool GifRecording::recording() const { return encoder_ != nullptr; }

uint64_t GifRecording::elapsedMs(uint64_t timeMs) const {
    return haveFrame_ && timeMs > firstMs_ ? timeMs - firstMs_ : 0;
}

void GifRecording::abandon() {
    encoder_.reset();
    stream_.abandon();
    shown_.clear();
    haveFrame_ = false;
}

Result<> GifRecording::fail(Failure failure) {
    abandon();
    return failure;
}

Result<> GifRecording::start(const std::string& path, int width, int height,
                             const std::vector<GifColour>& palette) {
    abandon();
    framesWritten_ = 0;
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF || palette.empty() ||
        palette.size() > 256)
        return Failure::badData("A GIF cannot hold that picture.");
    if (Result<> opened = stream_.open(path); !opened) return opened;
    width_ = width;
    height_ = height;

    auto encoder = std::make_unique<Encoder>();
    encoder->stream = &stream_;
    int error = 0;
    encoder->gif = EGifOpen(encoder.get(), &Encoder::put, &error);
    if (!encoder->gif) return fail(gifFailure(error));
    encoder_ = std::move(encoder);
    GifFileType* gif = encoder_->gif;
    EGifSetGifVersion(gif, true);

    std::vector<GifColorType> colours(static_cast<std::size_t>(colourTableSize(palette.size())));
    for (std::size_t i = 0; i < palette.size(); ++i)
        colours[i] = {palette[i].red, palette[i].green, palette[i].blue};
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    if (!map) return fail(gifFailure(E_GIF_ERR_NOT_ENOUGH_MEM));
    const int described = EGifPutScreenDesc(gif, width, height, 8, 0, map);
    GifFreeMapObject(map);
    // Loops for ever: the application block that every browser reads for it.
    static const GifByteType loopForEver[3] = {1, 0, 0};
    if (described == GIF_ERROR ||
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(gif, 3, loopForEver) == GIF_ERROR ||
        EGifPutExtensionTrailer(gif) == GIF_ERROR)
        return fail(encoder_->failure());
    return {};
}

Result<> GifRecording::writeFrame(const std::vector<uint8_t>& pixels, uint64_t delay) {
    GifFileType* gif = encoder_->gif;
    // A frame longer than a GIF's delay can say is shown again for the rest.
    do {
        const int part = static_cast<int>(std::min<uint64_t>(delay, gifLongestDelay));
        delay -= static_cast<uint64_t>(part);
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = part;
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType block[4];
        EGifGCBToExtension(&control, block);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_ERROR ||
            EGifPutImageDesc(gif, 0, 0, width_, height_, false, nullptr) == GIF_ERROR)
            return fail(encoder_->failure());
        // giflib masks the line it is given in place, so each row goes through a copy.
        auto& line = encoder_->line;
        for (int y = 0; y < height_; ++y) {
            const auto row = pixels.begin() + static_cast<std::ptrdiff_t>(y) * width_;
            line.assign(row, row + width_);
            if (EGifPutLine(gif, line.data(), width_) == GIF_ERROR)
                return fail(encoder_->failure());
        }
        ++framesWritten_;
    } while (delay > 0);
    return {};
}

Result<> GifRecording::addFrame(std::span<const uint8_t> pixels, uint64_t timeMs) {
    if (!encoder_) return Failure::decline("Nothing is being recorded.");
    if (pixels.size() != static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_))
        return Failure::badData("The frame is not the recording's size.");
    if (!haveFrame_) {
        haveFrame_ = true;
        firstMs_ = lastMs_ = timeMs;
        shownFromCs_ = 0;
        shown_.assign(pixels.begin(), pixels.end());
        return {};
    }
    lastMs_ = std::max(lastMs_, timeMs);
    if (std::equal(pixels.begin(), pixels.end(), shown_.begin(), shown_.end())) return {};
    const uint64_t endCs = centiseconds(lastMs_ - firstMs_);
    if (endCs >= shownFromCs_ + gifMinimumDelay) {
        if (Result<> written = writeFrame(shown_, endCs - shownFromCs_); !written) return written;
        shownFromCs_ = endCs;
    }
    shown_.assign(pixels.begin(), pixels.end());
    return {};
}

Result<> GifRecording::finish(uint64_t timeMs) {
    if (!encoder_) return Failure::decline("Nothing is being recorded.");
    if (!haveFrame_) return fail(Failure::decline("No frame was recorded."));
    const uint64_t endCs = centiseconds(std::max(lastMs_, timeMs) - firstMs_);
    const uint64_t delay =
        std::max<uint64_t>(endCs - std::min(endCs, shownFromCs_), gifMinimumDelay);
    if (Result<> written = writeFrame(shown_, delay); !written) return written;
    if (const auto failure = encoder_->close()) return fail(*failure);
    encoder_.reset();
    const Result<> placed = stream_.commit();
    abandon();
    return placed;
}

}  // namespace vantrel
