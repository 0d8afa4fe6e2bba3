// The platform's own sockets with the tool's port pointed at the test's own. Names beginning
// "PC-" stand for computers that are on: they are 127.0.0.1 with a listener of the test's. Names
// that hold "offline" or begin "closed" are 127.0.0.1 at a port where nothing listens, names
// beginning "silent" 127.0.0.1 at a port that never answers (when the test gives one). Any other
// name is looked up by the platform and tried on the listener's port, so a name that does not
// resolve stays so.
#pragma once

#include "network/NetworkBackend.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>

class TRedirectedNetwork : public INetworkBackend {
public:
    TRedirectedNetwork(int answeringPort, int closedPort, int silentPort = 0)
        : inner_(SystemNetwork()), answeringPort_(answeringPort), closedPort_(closedPort), silentPort_(silentPort)
    {
    }

    std::optional<std::vector<TSocketAddress>> Resolve(const std::string& host, int) override
    {
        std::string name(host);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (name.find("offline") != std::string::npos || name.rfind("closed", 0) == 0)
            return inner_->Resolve("127.0.0.1", closedPort_);
        if (silentPort_ != 0 && name.rfind("silent", 0) == 0)
            return inner_->Resolve("127.0.0.1", silentPort_);
        return inner_->Resolve(name.rfind("pc-", 0) == 0 ? "127.0.0.1" : host, answeringPort_);
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
    int silentPort_;
};
