// The platform's own sockets for the check: lookups, non-blocking connects and one wait for all
// attempts under way, the same on Winsock and on POSIX sockets but for the calls in Sockets.h.
#include "network/NetworkBackend.h"
#include "network/Sockets.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Every address the name resolves to for a TCP connection to the port; none when not found.
std::optional<std::vector<TSocketAddress>> LookUpAddresses(const std::string& host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return std::nullopt;
    std::vector<TSocketAddress> addresses;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(a->ai_addr);
        addresses.emplace_back(bytes, bytes + a->ai_addrlen);
    }
    freeaddrinfo(found);
    return addresses;
}

sockaddr_storage StorageOf(const TSocketAddress& address)
{
    sockaddr_storage storage{};
    std::memcpy(&storage, address.data(), std::min(address.size(), sizeof storage));
    return storage;
}

class TSocketAttempt : public IConnectAttempt {
public:
    explicit TSocketAttempt(TSocket socket) : socket_(std::move(socket)) {}
    TSocketId Get() const { return socket_.Get(); }

private:
    TSocket socket_;
};

class TSocketNetwork : public INetworkBackend {
public:
    std::optional<std::vector<TSocketAddress>> Resolve(const std::string& host, int port) override
    {
        return LookUpAddresses(host, port);
    }

    TConnectStart Connect(const TSocketAddress& address) override
    {
        const sockaddr_storage target = StorageOf(address);
        TSocket socket = OpenNonBlockingSocket(target.ss_family);
        if (!socket)
            return {nullptr, ConnectOutcome::Failed};
        if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&target), static_cast<socklen_t>(address.size())) == 0)
            return {nullptr, ConnectOutcome::Open};
        const int error = LastSocketError();
        if (error != kConnectPending)
            return {nullptr, OutcomeOf(error)};
        return {std::make_unique<TSocketAttempt>(std::move(socket)), ConnectOutcome::Failed};
    }

    std::vector<TConnectEnd> Wait(std::span<IConnectAttempt* const> attempts, std::chrono::milliseconds wait) override
    {
        std::vector<TSocketId> sockets;
        for (IConnectAttempt* attempt : attempts)
            sockets.push_back(static_cast<TSocketAttempt*>(attempt)->Get());
        return WaitForConnects(sockets, wait);
    }

private:
    TSocketsStarted started_;
};

} // namespace

std::shared_ptr<INetworkBackend> SystemNetwork()
{
    return std::make_shared<TSocketNetwork>();
}
