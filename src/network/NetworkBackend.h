// The seam between the reachability check and the platform's sockets: Winsock in the Windows
// build, POSIX sockets natively, a fake in tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One address a name resolved to, as the platform's socket address bytes.
using TSocketAddress = std::vector<unsigned char>;

// How a connection attempt ended.
enum class ConnectOutcome { Open, Refused, Failed };

// A connection attempt under way; it owns its socket, and destroying it closes the socket.
class IConnectAttempt {
public:
    virtual ~IConnectAttempt() = default;
};

struct TConnectStart {
    std::unique_ptr<IConnectAttempt> attempt;  // set while the attempt is under way
    ConnectOutcome outcome = ConnectOutcome::Failed;  // when it ended at once
};

struct TConnectEnd {
    std::size_t index;  // into the attempts given to Wait
    ConnectOutcome outcome;
};

class INetworkBackend {
public:
    virtual ~INetworkBackend() = default;
    // The name's addresses with the port filled in, or none when the name is not found. Blocks
    // for as long as the lookup takes; called from several threads at once.
    virtual std::optional<std::vector<TSocketAddress>> Resolve(const std::string& host, int port) = 0;
    // Starts a TCP connection without waiting for it. Called from one thread, as is Wait.
    virtual TConnectStart Connect(const TSocketAddress& address) = 0;
    // Waits up to `wait` for attempts to end, all in one wait, and returns those that ended
    // (none when the time ran out). Every attempt is one that Connect returned.
    virtual std::vector<TConnectEnd> Wait(std::span<IConnectAttempt* const> attempts, std::chrono::milliseconds wait) = 0;
};

// The platform's own sockets.
std::shared_ptr<INetworkBackend> SystemNetwork();
