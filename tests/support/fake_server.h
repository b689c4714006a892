#pragma once
// Listeners on 127.0.0.1 that stand where a database server should be, for connection
// failures a real server does not give on request:
//  - Silent: accepts every connection (the kernel completes it) and never answers;
//  - HangUp: accepts, reads what the client sends first, and closes the connection, as a
//    server process that ends during the logon.
#include <QString>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testdb {

class FakeServer {
public:
    enum class Mode { Silent, HangUp };

    explicit FakeServer(Mode mode) : FMode(mode)
    {
        FListen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        ::bind(FListen, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(FListen, 16);
        socklen_t len = sizeof a;
        ::getsockname(FListen, reinterpret_cast<sockaddr *>(&a), &len);
        FPort = ntohs(a.sin_port);
        if (mode == Mode::HangUp)
            FThread = std::thread([this] { serve(); });
    }
    ~FakeServer()
    {
        FStop = true;
        if (FThread.joinable())
            FThread.join();
        for (int fd : FAccepted)
            ::close(fd);
        ::close(FListen);
    }
    FakeServer(const FakeServer &) = delete;
    FakeServer &operator=(const FakeServer &) = delete;

    QString port() const { return QString::number(FPort); }

private:
    void serve()
    {
        while (!FStop) {
            pollfd p{FListen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int fd = ::accept(FListen, nullptr, nullptr);
            if (fd < 0)
                continue;
            pollfd q{fd, POLLIN, 0};
            if (::poll(&q, 1, 2000) > 0) {
                char buf[512];
                (void)::read(fd, buf, sizeof buf);
            }
            ::close(fd);
        }
    }

    Mode FMode;
    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FThread;
    std::vector<int> FAccepted;
};

} // namespace testdb
