#include "shell/recording_control.h"

#include <QAction>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>

#include "session/calculator/calculator.h"
#include "session/settings/settings.h"

namespace vantrel {

namespace {

// Keys shown under a recording: the last few, the newest at the right.
constexpr std::size_t captionKeys = 8;
// The caption's rows at 1x, enlarged with the LCD.
constexpr int captionRows = 12;

QString minutesAndSeconds(uint64_t ms) {
    const uint64_t seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The text as shades (255 the foreground) in width x rows, right-aligned, cut at its
// left end when it does not fit.
std::vector<uint8_t> captionShades(const QString& text, int width, int rows) {
    QImage image(width, rows, QImage::Format_Grayscale8);
    image.fill(0);
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(rows * 3 / 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRect box(2, 0, width - 4, rows);
    painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(text, Qt::ElideLeft, box.width()));
    painter.end();
    std::vector<uint8_t> shades;
    shades.reserve(static_cast<std::size_t>(width * rows));
    for (int y = 0; y < rows; ++y) {
        const uchar* line = image.constScanLine(y);
        shades.insert(shades.end(), line, line + width);
    }
    return shades;
}

}  // namespace

RecordingControl::RecordingControl(Calculator& calculator, const Settings& settings,
                                   QStatusBar* statusLine, QWidget* window)
    : QObject(window),
      calculator_(calculator),
      settings_(settings),
      window_(window),
      action_(new QAction(QStringLiteral("Record &Animation"), this)),
      label_(new QLabel(statusLine)) {
    action_->setObjectName(QStringLiteral("recordAnimation"));
    action_->setCheckable(true);
    action_->setStatusTip(
        QStringLiteral("Records the LCD as an animated GIF in the screenshot folder"));
    connect(action_, &QAction::triggered, this, [this](bool on) {
        if (on)
            start();
        else
            stop();
    });
    label_->setObjectName(QStringLiteral("recordingTime"));
    label_->hide();
    statusLine->addPermanentWidget(label_);
}

void RecordingControl::start() {
    action_->setChecked(false);
    const auto path = nextRecordingPath(settings_);
    if (!path) return failed(path.failure());
    captions_ = settings_.recordKeys;
    lastCaption_.clear();
    const int scale = std::clamp(settings_.screenshotScale, minZoom, maxZoom);
    if (const Result<> started =
            recording_.start(*path, scale, settings_.foreground, settings_.background,
                             captions_ ? captionRows * scale : 0);
        !started)
        return failed(
            Failure{started.failure().code, "\"" + *path + "\": " + started.failure().reason});
    clock_.start();
    lastFrameMs_.reset();
    emulatedMs_ = 0;
    action_->setChecked(true);
    label_->show();
    addFrame();
}

uint64_t RecordingControl::nowMs() {
    const std::optional<uint64_t> frame = calculator_.lcdFrameMs();
    if (!frame) return static_cast<uint64_t>(clock_.elapsed());
    if (lastFrameMs_ && *frame > *lastFrameMs_) emulatedMs_ += *frame - *lastFrameMs_;
    lastFrameMs_ = frame;
    return emulatedMs_;
}

void RecordingControl::addFrame() {
    if (captions_)
        lastCaption_ =
            captionShades(QString::fromStdString(calculator_.keyHistory().text(captionKeys)),
                          recording_.width(), recording_.captionRows());
    const uint64_t ms = nowMs();
    const Result<> added = recording_.addFrame(calculator_.lcdPicture(), ms, lastCaption_);
    if (!added)
        failed(Failure{added.failure().code,
                       "\"" + recording_.path() + "\": " + added.failure().reason});
    else
        label_->setText(QStringLiteral("Recording %1").arg(minutesAndSeconds(ms)));
}

void RecordingControl::tick() {
    if (recording_.recording()) addFrame();
}

void RecordingControl::stop(bool closing) {
    if (!recording_.recording()) return;
    label_->hide();
    action_->setChecked(false);
    const std::string path = recording_.path();
    // The picture at the end, then shown until now.
    const uint64_t ms = nowMs();
    Result<> finished = recording_.addFrame(calculator_.lcdPicture(), ms, lastCaption_);
    if (finished) finished = recording_.finish(ms);
    if (!finished)
        return failed(
            Failure{finished.failure().code, "\"" + path + "\": " + finished.failure().reason},
            closing);
    if (onWritten)
        onWritten(QStringLiteral("Recording saved to %1").arg(QString::fromStdString(path)),
                  QFileInfo(QString::fromStdString(path)).absolutePath());
}

void RecordingControl::failed(const Failure& failure, bool closing) {
    recording_.abandon();
    label_->hide();
    action_->setChecked(false);
    if (closing) {
        qWarning("The recording could not be written: %s", failure.reason.c_str());
        return;
    }
    QMessageBox::warning(window_, QStringLiteral("Record Animation"),
                         QStringLiteral("The recording could not be written:\n%1")
                             .arg(QString::fromStdString(failure.reason)));
}

}  // namespace vantrel
