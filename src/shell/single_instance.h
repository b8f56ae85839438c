// One calculator per user: the first program listens on a local socket named after
// the window class; a later start asks it to come to the front and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace vantrel {

QString instanceServerName();

// True when a running instance took the request to come to the front (and, when
// uploadPath is given, to upload that file).
bool askRunningInstanceToRaise(const QString& serverName, int timeoutMs = 2000, const QString& uploadPath = {});

class InstanceServer : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(const QString& serverName, QObject* parent = nullptr);
    // False when another instance serves the name already.
    bool listen();

signals:
    void raiseRequested();
    void uploadRequested(const QString& path);

private:
    QString name_;
    QLocalServer* server_;
};

}  // namespace vantrel
