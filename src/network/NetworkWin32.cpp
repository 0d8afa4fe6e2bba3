// The reachability check's sockets in the Windows build: Winsock's lookups, non-blocking
// connects and one select for all attempts under way.
#include "NetworkBackend.h"
#include "SocketLookup.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstddef>
#include <cstdint>
#include <vector>
#include <utility>

namespace {

// Winsock is started once for as long as any part of the check (a lookup left behind by a
// cancelled check included) still holds the backend.
class TWinsock {
public:
    TWinsock() { started_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    ~TWinsock()
    {
        if (started_)
            WSACleanup();
    }
    TWinsock(const TWinsock&) = delete;
    TWinsock& operator=(const TWinsock&) = delete;

private:
    WSADATA data_{};
    bool started_ = false;
};

class TSocket {
public:
    explicit TSocket(SOCKET socket) : socket_(socket) {}
    TSocket(TSocket&& other) noexcept : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
    TSocket& operator=(TSocket&&) = delete;
    ~TSocket()
    {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
    }
    SOCKET Get() const { return socket_; }

private:
    SOCKET socket_;
};

class TWinsockAttempt : public IConnectAttempt {
public:
    explicit TWinsockAttempt(TSocket socket) : socket_(std::move(socket)) {}
    SOCKET Get() const { return socket_.Get(); }

private:
    TSocket socket_;
};

ConnectOutcome OutcomeOf(int error)
{
    if (error == 0)
        return ConnectOutcome::Open;
    return error == WSAECONNREFUSED ? ConnectOutcome::Refused : ConnectOutcome::Failed;
}

// An fd_set as large as the attempts given to one wait: Winsock's is a counted array, so a
// longer one than FD_SETSIZE is laid out the same way.
class TSocketSet {
public:
    explicit TSocketSet(std::size_t size)
        : storage_((offsetof(fd_set, fd_array) + (size + 1) * sizeof(SOCKET)) / sizeof(std::uint64_t) + 1)
    {
    }
    fd_set* Get() { return reinterpret_cast<fd_set*>(storage_.data()); }
    void Add(SOCKET socket) { Get()->fd_array[Get()->fd_count++] = socket; }
    bool Holds(SOCKET socket) { return __WSAFDIsSet(socket, Get()) != 0; }

private:
    std::vector<std::uint64_t> storage_;
};

class TWinsockNetwork : public INetworkBackend {
public:
    std::optional<std::vector<TSocketAddress>> Resolve(const std::string& host, int port) override
    {
        return LookUpAddresses(host, port);
    }

    TConnectStart Connect(const TSocketAddress& address) override
    {
        const sockaddr_storage target = StorageOf(address);
        TSocket socket(::socket(target.ss_family, SOCK_STREAM, IPPROTO_TCP));
        if (socket.Get() == INVALID_SOCKET)
            return {nullptr, ConnectOutcome::Failed};
        u_long nonBlocking = 1;
        if (ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0)
            return {nullptr, ConnectOutcome::Failed};
        if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&target), static_cast<int>(address.size())) == 0)
            return {nullptr, ConnectOutcome::Open};
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK)
            return {nullptr, OutcomeOf(error)};
        return {std::make_unique<TWinsockAttempt>(std::move(socket)), ConnectOutcome::Failed};
    }

    // A connection made shows as writable, one that failed as an exception.
    std::vector<TConnectEnd> Wait(std::span<IConnectAttempt* const> attempts, std::chrono::milliseconds wait) override
    {
        TSocketSet writable(attempts.size());
        TSocketSet failed(attempts.size());
        for (IConnectAttempt* attempt : attempts) {
            writable.Add(static_cast<TWinsockAttempt*>(attempt)->Get());
            failed.Add(static_cast<TWinsockAttempt*>(attempt)->Get());
        }
        const auto ms = wait.count();
        timeval limit{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000 * 1000)};
        std::vector<TConnectEnd> ends;
        if (attempts.empty() || select(0, nullptr, writable.Get(), failed.Get(), &limit) <= 0)
            return ends;
        for (std::size_t i = 0; i < attempts.size(); ++i) {
            const SOCKET socket = static_cast<TWinsockAttempt*>(attempts[i])->Get();
            if (writable.Holds(socket)) {
                ends.push_back(TConnectEnd{i, ConnectOutcome::Open});
            } else if (failed.Holds(socket)) {
                int error = 0;
                int size = sizeof error;
                if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
                    error = WSAGetLastError();
                ends.push_back(TConnectEnd{i, error == 0 ? ConnectOutcome::Failed : OutcomeOf(error)});
            }
        }
        return ends;
    }

private:
    TWinsock winsock_;
};

} // namespace

std::shared_ptr<INetworkBackend> SystemNetwork()
{
    return std::make_shared<TWinsockNetwork>();
}
