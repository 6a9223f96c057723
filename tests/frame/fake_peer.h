#pragma once
// Peers on local sockets for the hand-over tests: one that answers every
// frame with a fixed reply and records what it got, one that never answers.

#include <QLocalServer>
#include <QLocalSocket>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace start_test {

// A peer that answers every frame with a fixed reply and records the texts.
class FakePeer {
public:
    FakePeer(const std::string& path, uint32_t reply) : reply_(reply)
    {
        server_.listen(QString::fromStdString(path));
        QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
            QLocalSocket* s = server_.nextPendingConnection();
            auto buf = std::make_shared<QByteArray>();
            QObject::connect(s, &QLocalSocket::readyRead, s, [this, s, buf] {
                *buf += s->readAll();
                if (buf->size() < 8)
                    return;
                const uint32_t len =
                    static_cast<unsigned char>((*buf)[4]) | static_cast<unsigned char>((*buf)[5]) << 8;
                if (static_cast<uint32_t>(buf->size()) < 8 + len)
                    return;
                texts.push_back(buf->mid(8, static_cast<int>(len) - 1).toStdString());
                senders.push_back(static_cast<unsigned char>((*buf)[0]) |
                                  static_cast<unsigned char>((*buf)[1]) << 8 |
                                  static_cast<unsigned char>((*buf)[2]) << 16);
                QByteArray r(4, 0);
                for (int i = 0; i < 4; ++i)
                    r[i] = static_cast<char>((reply_ >> (8 * i)) & 0xFF);
                s->write(r);
                s->disconnectFromServer();
            });
        });
    }
    std::vector<std::string> texts;
    std::vector<uint32_t> senders;

private:
    QLocalServer server_;
    uint32_t reply_;
};

// A peer that accepts connections and never answers.
class SilentPeer {
public:
    explicit SilentPeer(const std::string& path) { server_.listen(QString::fromStdString(path)); }

private:
    QLocalServer server_;
};

} // namespace start_test
