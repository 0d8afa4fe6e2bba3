// The platform's own sockets with the tool's port pointed at the test's own: every computer is
// tried on a listener of the test's, except names beginning "closed", which are tried on
// 127.0.0.1 at a port where nothing listens. Lookups are the platform's, so a name that does not
// resolve and an invalid name stay what they are.
#pragma once

#include "network/NetworkBackend.h"

#include <memory>
#include <string>

class TRedirectedNetwork : public INetworkBackend {
public:
    TRedirectedNetwork(int answeringPort, int closedPort)
        : inner_(SystemNetwork()), answeringPort_(answeringPort), closedPort_(closedPort)
    {
    }

    std::optional<std::vector<TSocketAddress>> Resolve(const std::string& host, int) override
    {
        if (host.rfind("closed", 0) == 0)
            return inner_->Resolve("127.0.0.1", closedPort_);
        return inner_->Resolve(host, answeringPort_);
    }
    TConnectStart Connect(const TSocketAddress& address) override { return inner_->Connect(address); }
    std::vector<TConnectEnd> Wait(std::span<IConnectAttempt* const> attempts, std::chrono::milliseconds wait) override
    {
        return inner_->Wait(attempts, wait);
    }

private:
    std::shared_ptr<INetworkBackend> inner_;
    int answeringPort_;
    int closedPort_;
};
