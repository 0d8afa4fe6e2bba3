// Which computers of a list answer on the file-sharing port, found out for all of them at once
// before a job starts, so that the job spends its time only on those that answer.
#pragma once

#include "network/NetworkBackend.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Why a computer was or was not reached.
enum class Reach {
    Answered,     // a connection to the port was opened (and closed again at once)
    NoAnswer,     // nothing came back within the timeout
    Refused,      // the computer said no to the port
    NameNotFound, // the name did not resolve
    InvalidName,  // not a valid computer name: never looked up
};

// The port the tool itself reaches computers on: file sharing.
inline constexpr int kFileSharingPort = 445;

struct TReachSettings {
    int port = kFileSharingPort;  // tests point the check at a listener of their own
    std::chrono::milliseconds timeout{3000};  // the job's connection timeout
    std::size_t mostOpen = 256;   // connection attempts open at the same time
    std::size_t lookups = 16;     // names resolved at the same time
};

// The reason as the summary and the CSV show it, e.g. "no answer on port 445 within 3 s",
// "connection refused on port 445", "name not found", "not a valid computer name".
std::string ReachText(Reach reach, const TReachSettings& settings);

// One name's result: its index in the list given to Start, and how far the check is.
struct TReachReport {
    std::size_t index;
    Reach reach;
    std::size_t checked;  // results reported so far, this one included
    std::size_t total;
};

// Checks a list of names on a worker thread of its own; Start returns at once. The callbacks run
// on that worker thread, one at a time, never after Cancel (or the destructor) has returned:
// whoever needs them in another thread hands them over (e.g. through IUiThread::Post). Start,
// Cancel and the destructor wait for that thread, so none of them may be called from a callback.
class TReachabilityCheck {
public:
    using TOnReport = std::function<void(const TReachReport&)>;
    using TOnDone = std::function<void()>;

    TReachabilityCheck(std::shared_ptr<INetworkBackend> network, TReachSettings settings);
    ~TReachabilityCheck();
    TReachabilityCheck(const TReachabilityCheck&) = delete;
    TReachabilityCheck& operator=(const TReachabilityCheck&) = delete;

    // Checks the names (a check still running is cancelled first). onReport comes once per
    // name, as soon as its result is known; onDone once after the last, unless cancelled.
    void Start(std::vector<std::string> names, TOnReport onReport, TOnDone onDone);
    // Ends the check at once: every connection attempt is closed when it returns and nothing
    // more is reported. A lookup in progress may finish in the background; its result is dropped.
    void Cancel();
    bool Running() const { return running_; }

private:
    std::shared_ptr<INetworkBackend> network_;
    TReachSettings settings_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    std::atomic<bool> running_{false};
    std::thread worker_;
};
