// SPDX-License-Identifier: MIT
// A static web server of the test's own on 127.0.0.1, on a thread of its
// own: it serves one folder's files and notes every request it gets. Given
// a port, it takes that one (a host that comes back at the same address).
// Told to hang, it takes each connection and its request, and never answers
// (a host at the end of a network that has stopped carrying anything back).
#pragma once

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>

namespace tarvo::testing {

class StaticServer {
public:
    explicit StaticServer(const QString &folder, quint16 port = 0) : folder_(folder), port_(port) {
        server_.moveToThread(&thread_);
        thread_.start();
        QMetaObject::invokeMethod(&server_, [this] { listen(); }, Qt::BlockingQueuedConnection);
    }
    ~StaticServer() {
        QMetaObject::invokeMethod(&server_, [this] { server_.close(); }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    QString url() const { return QString("http://127.0.0.1:%1/").arg(port_); }
    quint16 port() const { return port_; }
    void setHanging(bool hanging) { hanging_ = hanging; }
    // The request lines so far ("GET /index.html").
    QStringList requests() const {
        QMutexLocker lock(&mutex_);
        return requests_;
    }

private:
    void listen() {
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket *s = server_.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { answer(s); });
        });
        server_.listen(QHostAddress::LocalHost, port_);
        port_ = server_.serverPort();
    }
    void answer(QTcpSocket *s) {
        const QByteArray head = s->readAll();
        const QList<QByteArray> words = head.split('\n').value(0).trimmed().split(' ');
        if (words.size() < 2) return;
        const QString path = QString::fromUtf8(words[1]).section('?', 0, 0);
        {
            QMutexLocker lock(&mutex_);
            requests_ << QString::fromUtf8(words[0]) + " " + path;
        }
        if (hanging_) return;
        QFile f(QDir(folder_).filePath(path == "/" ? "index.html" : path.mid(1)));
        const bool inside = !path.contains("..") && f.open(QIODevice::ReadOnly);
        const QByteArray body = inside ? f.readAll() : QByteArray("not here\n");
        const QByteArray type = path.endsWith(".png")           ? "image/png"
                                : path.endsWith(".js")          ? "text/javascript"
                                : path.endsWith(".webmanifest") ? "application/manifest+json"
                                                                : "text/html";
        s->write((inside ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") + QByteArray("Content-Type: ") + type +
                 "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    }

    QString folder_;
    QThread thread_;
    QTcpServer server_;
    quint16 port_ = 0;
    std::atomic<bool> hanging_{false};
    mutable QMutex mutex_;
    QStringList requests_;
};

} // namespace tarvo::testing
