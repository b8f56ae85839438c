// Variable files dropped on the calculator window are uploaded.
#pragma once

#include <QObject>
#include <functional>
#include <string>

class QWidget;

namespace vantrel {

class FileDropUploader : public QObject {
    Q_OBJECT
public:
    using Upload = std::function<void(const std::string& path)>;
    // Makes window accept drops of "*.85?" files; upload runs from the event loop
    // after the drop has been acknowledged, so the dragging program is not kept
    // waiting while the calculator is brought into its receive screen.
    FileDropUploader(QWidget* window, Upload upload);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Upload upload_;
};

}  // namespace vantrel
