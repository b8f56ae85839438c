// One calculator per user: the first program listens on a local socket named after
// the window class; a later start asks it to come to the front and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace vantrel {

QString instanceServerName();

// True when a running instance took the request to come to the front.
bool askRunningInstanceToRaise(const QString& serverName, int timeoutMs = 2000);

class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(const QString& serverName, QObject* parent = nullptr);
    // False when another instance serves the name already.
    bool listen();

signals:
    void raiseRequested();

private:
    QString name_;
    QLocalServer* server_;
};

}  // namespace vantrel
