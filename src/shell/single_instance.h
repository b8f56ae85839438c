// One calculator per user and display: the first program listens on a local socket
// named after the window class, the user and the display; a later start on the same
// display asks it to come to the front and ends. A start on another display (or
// another Wayland session) runs a window of its own. A running instance that does not
// answer (stopped, or hung) is not taken for one that came to the front.
#pragma once

#include <QObject>
#include <QString>
#include <string>

class QLocalServer;

namespace vantrel {

QString instanceServerName();
// The display part of that name, from WAYLAND_DISPLAY or else DISPLAY ("none"
// without either): "wayland-0", "x11-0" for ":0" and ":0.0" alike.
QString displayKey();

// The name that the window with a state file answers on, so that a start on the same
// state file hands over to it: the user, and the state file's full path (links
// followed) as FileClaim::identity() gives it.
QString stateServerName(const std::string& stateFileIdentity);

enum class HandOver {
    raised,    // a running instance answered that it came to the front
    nobody,    // none listens under the name
    noAnswer,  // one listens but did not answer in time (stopped or hung)
};

// Asks a running instance to come to the front (and, when uploadPath is given, to
// upload that file), waiting at most timeoutMs for its answer.
HandOver askRunningInstanceToRaise(const QString& serverName, int timeoutMs = 2000,
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
