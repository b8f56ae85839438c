#include "shell/file_drop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "session/link/upload.h"

namespace vantrel {

namespace {

// The first local variable file among the dropped items; the calculator takes one
// file per transfer.
QString droppedVariableFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (isVariableFileName(path.toStdString())) return path;
    }
    return {};
}

}  // namespace

FileDropUploader::FileDropUploader(QWidget* window, Upload upload)
    : QObject(window), upload_(std::move(upload)) {
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

bool FileDropUploader::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (droppedVariableFile(drag->mimeData()).isEmpty()) {
                drag->ignore();
            } else {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString path = droppedVariableFile(drop->mimeData());
            if (path.isEmpty()) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            QTimer::singleShot(0, this, [this, file = path.toStdString()] {
                if (upload_) upload_(file);
            });
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}

}  // namespace vantrel
