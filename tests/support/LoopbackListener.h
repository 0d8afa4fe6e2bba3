// A TCP listener of the test's own on 127.0.0.1, for checks that must find a computer that
// answers: it accepts and closes every connection on a thread of its own, so a large burst
// never fills its backlog. Also a port on which nothing listens.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <stdexcept>
#include <thread>

class TLoopbackListener {
public:
#ifdef _WIN32
    using TSocket = SOCKET;
    static constexpr TSocket kNoSocket = INVALID_SOCKET;
#else
    using TSocket = int;
    static constexpr TSocket kNoSocket = -1;
#endif

    // Listening, or with listen = false a port left closed (bound, then let go).
    explicit TLoopbackListener(bool listen = true)
    {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (socket_ == kNoSocket || bind(socket_, reinterpret_cast<sockaddr*>(&address), size) != 0
            || getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error("no loopback socket");
        port_ = ntohs(address.sin_port);
        if (!listen) {
            Close(socket_);
            return;
        }
        if (::listen(socket_, SOMAXCONN) != 0)
            throw std::runtime_error("cannot listen on loopback");
        acceptor_ = std::thread([this] { AcceptUntilStopped(); });
    }
    ~TLoopbackListener()
    {
        stop_ = true;
        if (acceptor_.joinable())
            acceptor_.join();
        Close(socket_);
#ifdef _WIN32
        WSACleanup();
#endif
    }
    TLoopbackListener(const TLoopbackListener&) = delete;
    TLoopbackListener& operator=(const TLoopbackListener&) = delete;

    int Port() const { return port_; }

private:
    static void Close(TSocket& socket)
    {
        if (socket == kNoSocket)
            return;
#ifdef _WIN32
        closesocket(socket);
#else
        close(socket);
#endif
        socket = kNoSocket;
    }

    void AcceptUntilStopped()
    {
        while (!stop_) {
#ifdef _WIN32
            WSAPOLLFD waiting{socket_, POLLRDNORM, 0};
            if (WSAPoll(&waiting, 1, 20) <= 0)
                continue;
#else
            pollfd waiting{socket_, POLLIN, 0};
            if (poll(&waiting, 1, 20) <= 0)
                continue;
#endif
            TSocket connection = accept(socket_, nullptr, nullptr);
            Close(connection);
        }
    }

    TSocket socket_ = kNoSocket;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
};
