// The check's sockets in the Windows build: Winsock's non-blocking connects, and one select for
// all attempts under way.
#include "network/Sockets.h"

#include <cstddef>
#include <cstdint>

namespace {

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

} // namespace

TSocket OpenNonBlockingSocket(int family)
{
    TSocket socket(::socket(family, SOCK_STREAM, IPPROTO_TCP));
    u_long nonBlocking = 1;
    if (socket && ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0)
        socket.Reset();
    return socket;
}

// A connection made shows as writable, one that failed as an exception.
std::vector<TConnectEnd> WaitForConnects(std::span<const TSocketId> sockets, std::chrono::milliseconds wait)
{
    std::vector<TConnectEnd> ends;
    if (sockets.empty())
        return ends;
    TSocketSet writable(sockets.size());
    TSocketSet failed(sockets.size());
    for (SOCKET socket : sockets) {
        writable.Add(socket);
        failed.Add(socket);
    }
    const auto ms = wait.count();
    timeval limit{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000 * 1000)};
    if (select(0, nullptr, writable.Get(), failed.Get(), &limit) <= 0)
        return ends;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        if (writable.Holds(sockets[i])) {
            ends.push_back(TConnectEnd{i, ConnectOutcome::Open});
        } else if (failed.Holds(sockets[i])) {
            const int error = PendingError(sockets[i]);
            ends.push_back(TConnectEnd{i, error == 0 ? ConnectOutcome::Failed : OutcomeOf(error)});
        }
    }
    return ends;
}
