// A TCP port of the test's own on 127.0.0.1, for checks that must find a computer that answers,
// refuses or stays silent. An answering one accepts and closes every connection on a thread of
// its own, so a large burst never fills its backlog; a closed one is bound, then let go; a silent
// one listens with a backlog that one connection of its own fills, so that every further attempt
// waits for an answer that never comes.
#pragma once

#include "network/Sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#endif

#include <atomic>
#include <stdexcept>
#include <thread>

class TLoopbackListener {
public:
    enum class TKind { Answering, Closed, Silent };

    explicit TLoopbackListener(TKind kind = TKind::Answering)
    {
        sockaddr_in address = Loopback(0);
        socklen_t size = sizeof address;
        socket_.Reset(::socket(AF_INET, SOCK_STREAM, 0));
        if (!socket_ || bind(socket_.Get(), reinterpret_cast<sockaddr*>(&address), size) != 0
            || getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error("no loopback socket");
        port_ = ntohs(address.sin_port);
        if (kind == TKind::Closed) {
            socket_.Reset();
            return;
        }
        if (::listen(socket_.Get(), kind == TKind::Silent ? 0 : SOMAXCONN) != 0)
            throw std::runtime_error("cannot listen on loopback");
        if (kind == TKind::Silent)
            FillBacklog();
        else
            acceptor_ = std::thread([this] { AcceptUntilStopped(); });
    }
    ~TLoopbackListener()
    {
        stop_ = true;
        if (acceptor_.joinable())
            acceptor_.join();
    }
    TLoopbackListener(const TLoopbackListener&) = delete;
    TLoopbackListener& operator=(const TLoopbackListener&) = delete;

    int Port() const { return port_; }

private:
    static sockaddr_in Loopback(int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<unsigned short>(port));
        return address;
    }

    // The one connection a backlog of 0 holds; it is never accepted.
    void FillBacklog()
    {
        const sockaddr_in address = Loopback(port_);
        filler_.Reset(::socket(AF_INET, SOCK_STREAM, 0));
        if (!filler_ || connect(filler_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot fill the backlog");
    }

    void AcceptUntilStopped()
    {
        while (!stop_) {
#ifdef _WIN32
            WSAPOLLFD waiting{socket_.Get(), POLLRDNORM, 0};
            if (WSAPoll(&waiting, 1, 20) <= 0)
                continue;
#else
            pollfd waiting{socket_.Get(), POLLIN, 0};
            if (poll(&waiting, 1, 20) <= 0)
                continue;
#endif
            TSocket connection(accept(socket_.Get(), nullptr, nullptr));
        }
    }

    TSocketsStarted sockets_;
    TSocket socket_;
    TSocket filler_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
};
