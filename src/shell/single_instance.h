// One calculator per user and display: the first program listens on a local socket
// named after the window class, the user and the display; a later start on the same
// display asks it to come to the front and ends. A start on another display (or
// another Wayland session) runs a window of its own.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace vantrel {

QString instanceServerName();
// The display part of that name, from WAYLAND_DISPLAY or else DISPLAY ("none"
// without either): "wayland-0", "x11-0" for ":0" and ":0.0" alike.
QString displayKey();

// True when a running instance took the request to come to the front (and, when
// uploadPath is given, to upload that file).
bool askRunningInstanceToRaise(const QString& serverName, int timeoutMs = 2000,
                               const QString& uploadPath = {});

class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(const QString& serverName, QObject* parent = nullptr);
    // False when another instance serves the name already.
    bool listen();
    // Stops answering: a later start runs a window of its own.
    void close();

signals:
    void raiseRequested();
    void uploadRequested(const QString& path);

private:
    QString name_;
    QLocalServer* server_;
};

}  // namespace vantrel
