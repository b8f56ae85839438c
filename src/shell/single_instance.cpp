#include "shell/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>

namespace vantrel {

namespace {
const QByteArray raiseMessage = QByteArrayLiteral("raise\n");
// Followed by the file's absolute path in UTF-8 and a newline; also raises.
const QByteArray uploadPrefix = QByteArrayLiteral("upload\t");
}  // namespace

QString displayKey() {
    // Only characters that any file name takes: the socket is a file.
    auto plain = [](QString text) {
        for (QChar& c : text)
            if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.') &&
                c != QLatin1Char('-'))
                c = QLatin1Char('-');
        while (text.startsWith(QLatin1Char('-'))) text.remove(0, 1);
        return text;
    };
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (!wayland.isEmpty()) {
        const QString key = plain(wayland);
        return key.startsWith(QLatin1String("wayland")) ? key : QStringLiteral("wayland-") + key;
    }
    QString x11 = qEnvironmentVariable("DISPLAY");
    if (x11.isEmpty()) return QStringLiteral("none");
    // ":0" and ":0.0" are one display: the screen number after the last ':' goes.
    const qsizetype colon = x11.lastIndexOf(QLatin1Char(':'));
    const qsizetype dot = x11.indexOf(QLatin1Char('.'), colon + 1);
    if (colon >= 0 && dot > colon) x11.truncate(dot);
    return QStringLiteral("x11-") + plain(x11);
}

QString instanceServerName() {
    return QStringLiteral("VantrelCalculator-%1-%2")
        .arg(static_cast<qulonglong>(::getuid()))
        .arg(displayKey());
}

QString stateServerName(const std::string& stateFileIdentity) {
    const QByteArray digest = QCryptographicHash::hash(QByteArray::fromStdString(stateFileIdentity),
                                                       QCryptographicHash::Sha1)
                                  .toHex()
                                  .left(16);
    return QStringLiteral("VantrelState-%1-%2")
        .arg(static_cast<qulonglong>(::getuid()))
        .arg(QString::fromLatin1(digest));
}

HandOver askRunningInstanceToRaise(const QString& serverName, int timeoutMs,
                                   const QString& uploadPath) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs)) return HandOver::nobody;
    // A name holding a line break cannot travel in this one-line message.
    if (!uploadPath.isEmpty() && !uploadPath.contains(QLatin1Char('\n')))
        socket.write(uploadPrefix + uploadPath.toUtf8() + '\n');
    else
        socket.write(raiseMessage);
    // The first instance answers once it has acted, so the caller may end at once. A
    // stopped one accepts the connection all the same (the system does that for it)
    // but never answers.
    QElapsedTimer waited;
    waited.start();
    const auto left = [&] {
        return static_cast<int>(qMax<qint64>(0, timeoutMs - waited.elapsed()));
    };
    if (!socket.waitForBytesWritten(left())) return HandOver::noAnswer;
    while (!socket.canReadLine()) {
        if (left() == 0 || !socket.waitForReadyRead(left())) return HandOver::noAnswer;
    }
    const bool answered = socket.readLine() == QByteArrayLiteral("ok\n");
    socket.disconnectFromServer();
    return answered ? HandOver::raised : HandOver::noAnswer;
}

InstanceServer::InstanceServer(const QString& serverName, QObject* parent)
    : QObject(parent), name_(serverName), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine();
                    if (line == raiseMessage) {
                        emit raiseRequested();
                        socket->write("ok\n");
                    } else if (line.startsWith(uploadPrefix) &&
                               line.size() > uploadPrefix.size() + 1) {
                        emit raiseRequested();
                        emit uploadRequested(
                            QString::fromUtf8(line.mid(uploadPrefix.size()).chopped(1)));
                        socket->write("ok\n");
                    }
                }
            });
        }
    });
}

bool InstanceServer::listen() {
    // Someone answers there: the name is taken, also by a stopped instance (the system
    // takes the connection for it). Asked first, since a failed listen would remove
    // the other's name when this server goes. Nobody: a crashed run left it, or none.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(500)) return false;
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

void InstanceServer::close() { server_->close(); }

}  // namespace vantrel
