// The reachability check's sockets in the native build: the same calls as Winsock's, so the
// check's fan-out runs for real under the sanitizers.
#include "NetworkBackend.h"
#include "SocketLookup.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

class TSocket {
public:
    explicit TSocket(int fd) : fd_(fd) {}
    TSocket(TSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    TSocket& operator=(TSocket&&) = delete;
    ~TSocket()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    int Get() const { return fd_; }

private:
    int fd_;
};

class TPosixAttempt : public IConnectAttempt {
public:
    explicit TPosixAttempt(TSocket socket) : socket_(std::move(socket)) {}
    int Get() const { return socket_.Get(); }

private:
    TSocket socket_;
};

ConnectOutcome OutcomeOf(int error)
{
    if (error == 0)
        return ConnectOutcome::Open;
    return error == ECONNREFUSED ? ConnectOutcome::Refused : ConnectOutcome::Failed;
}

class TPosixNetwork : public INetworkBackend {
public:
    std::optional<std::vector<TSocketAddress>> Resolve(const std::string& host, int port) override
    {
        return LookUpAddresses(host, port);
    }

    TConnectStart Connect(const TSocketAddress& address) override
    {
        const sockaddr_storage target = StorageOf(address);
        TSocket socket(::socket(target.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (socket.Get() < 0)
            return {nullptr, ConnectOutcome::Failed};
        if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&target), static_cast<socklen_t>(address.size())) == 0)
            return {nullptr, ConnectOutcome::Open};
        if (errno != EINPROGRESS)
            return {nullptr, OutcomeOf(errno)};
        return {std::make_unique<TPosixAttempt>(std::move(socket)), ConnectOutcome::Failed};
    }

    std::vector<TConnectEnd> Wait(std::span<IConnectAttempt* const> attempts, std::chrono::milliseconds wait) override
    {
        std::vector<pollfd> polled;
        for (IConnectAttempt* attempt : attempts)
            polled.push_back(pollfd{static_cast<TPosixAttempt*>(attempt)->Get(), POLLOUT, 0});
        std::vector<TConnectEnd> ends;
        if (poll(polled.data(), polled.size(), static_cast<int>(wait.count())) <= 0)
            return ends;
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if (polled[i].revents == 0)
                continue;
            int error = 0;
            socklen_t size = sizeof error;
            if (getsockopt(polled[i].fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
            ends.push_back(TConnectEnd{i, OutcomeOf(error)});
        }
        return ends;
    }
};

} // namespace

std::shared_ptr<INetworkBackend> SystemNetwork()
{
    return std::make_shared<TPosixNetwork>();
}
