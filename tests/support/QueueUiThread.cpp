#include "support/QueueUiThread.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

struct TQueueUiThread::TTask {
    std::function<void()> fn;
    bool blocking = false;
    bool answered = false;
    bool ran = false;
    std::exception_ptr error;
};

struct TQueueUiThread::TTimerTable {
    std::mutex mutex;
    uint64_t nextId = 1;
    std::map<uint64_t, TTimerEntry> entries;
};

namespace {

using Clock = std::chrono::steady_clock;

class TQueueTimer : public IPeriodicTimer {
public:
    TQueueTimer(std::shared_ptr<TQueueUiThread::TTimerTable> table, std::function<void()> onTick)
        : table_(std::move(table))
    {
        std::lock_guard lock(table_->mutex);
        id_ = table_->nextId++;
        table_->entries[id_].onTick = std::move(onTick);
    }
    ~TQueueTimer() override
    {
        std::lock_guard lock(table_->mutex);
        table_->entries.erase(id_);
    }
    TQueueTimer(const TQueueTimer&) = delete;
    TQueueTimer& operator=(const TQueueTimer&) = delete;

    void SetInterval(unsigned milliseconds) override
    {
        std::lock_guard lock(table_->mutex);
        auto& entry = table_->entries[id_];
        entry.interval = std::chrono::milliseconds(milliseconds);
        entry.due = Clock::now() + entry.interval;
    }
    void SetEnabled(bool enabled) override
    {
        std::lock_guard lock(table_->mutex);
        auto& entry = table_->entries[id_];
        if (enabled && !entry.enabled)
            entry.due = Clock::now() + entry.interval;
        entry.enabled = enabled;
    }
    bool Enabled() const override
    {
        std::lock_guard lock(table_->mutex);
        return table_->entries[id_].enabled;
    }

private:
    std::shared_ptr<TQueueUiThread::TTimerTable> table_;
    uint64_t id_ = 0;
};

} // namespace

TQueueUiThread::TQueueUiThread(TTimerMode timerMode)
    : uiThread_(std::this_thread::get_id()), timerMode_(timerMode), timers_(std::make_shared<TTimerTable>())
{
}

TQueueUiThread::~TQueueUiThread()
{
    Shutdown();
}

void TQueueUiThread::Invoke(const std::function<void()>& fn)
{
    if (InUiThread()) {
        fn();
        return;
    }
    auto task = std::make_shared<TTask>();
    task->fn = fn;
    task->blocking = true;
    std::unique_lock lock(mutex_);
    if (closed_)
        throw std::runtime_error("The user interface thread no longer takes hand-offs");
    tasks_.push_back(task);
    queued_.notify_one();
    answered_.wait(lock, [&] { return task->answered; });
    if (!task->ran)
        throw std::runtime_error("The user interface thread no longer takes hand-offs");
    if (task->error)
        std::rethrow_exception(task->error);
}

void TQueueUiThread::Post(std::function<void()> fn)
{
    auto task = std::make_shared<TTask>();
    task->fn = std::move(fn);
    std::lock_guard lock(mutex_);
    if (closed_)
        return;
    tasks_.push_back(std::move(task));
    queued_.notify_one();
}

std::unique_ptr<IPeriodicTimer> TQueueUiThread::CreateTimer(std::function<void()> onTick)
{
    return std::make_unique<TQueueTimer>(timers_, std::move(onTick));
}

void TQueueUiThread::RunTask(TTask& task)
{
    try {
        task.fn();
    } catch (...) {
        if (task.blocking) {
            task.error = std::current_exception();
        } else {
            std::lock_guard lock(mutex_);
            postedErrors_.push_back(std::current_exception());
        }
    }
    if (task.blocking) {
        std::lock_guard lock(mutex_);
        task.ran = true;
        task.answered = true;
        answered_.notify_all();
    }
}

bool TQueueUiThread::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                              std::chrono::milliseconds recheck)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (done())
            return true;
        std::shared_ptr<TTask> task;
        {
            std::unique_lock lock(mutex_);
            // done() may turn true without a task, so look again after a while.
            const auto wakeUp = NextDue(std::min(deadline, Clock::now() + recheck));
            queued_.wait_until(lock, wakeUp, [&] { return !tasks_.empty(); });
            if (!tasks_.empty()) {
                task = tasks_.front();
                tasks_.pop_front();
            }
        }
        if (task)
            RunTask(*task);
        FireDueTimers();
        if (!task && Clock::now() >= deadline)
            return done();
    }
}

Clock::time_point TQueueUiThread::NextDue(Clock::time_point limit)
{
    if (timerMode_ == TTimerMode::Manual)
        return limit;
    std::lock_guard lock(timers_->mutex);
    for (const auto& [id, entry] : timers_->entries)
        if (entry.enabled && entry.due < limit)
            limit = entry.due;
    return limit;
}

void TQueueUiThread::FireDueTimers()
{
    if (timerMode_ == TTimerMode::Manual)
        return;
    std::vector<std::function<void()>> due;
    {
        std::lock_guard lock(timers_->mutex);
        const auto now = Clock::now();
        for (auto& [id, entry] : timers_->entries) {
            if (entry.enabled && entry.due <= now) {
                entry.due += entry.interval;
                due.push_back(entry.onTick);
            }
        }
    }
    for (auto& tick : due)
        tick();
}

void TQueueUiThread::FireTimers()
{
    std::vector<std::function<void()>> enabled;
    {
        std::lock_guard lock(timers_->mutex);
        for (auto& [id, entry] : timers_->entries)
            if (entry.enabled)
                enabled.push_back(entry.onTick);
    }
    for (auto& tick : enabled)
        tick();
}

void TQueueUiThread::Shutdown()
{
    std::lock_guard lock(mutex_);
    closed_ = true;
    for (auto& task : tasks_)
        task->answered = true; // not ran: a waiting sender throws
    tasks_.clear();
    answered_.notify_all();
}

std::vector<std::exception_ptr> TQueueUiThread::TakePostedErrors()
{
    std::lock_guard lock(mutex_);
    return std::exchange(postedErrors_, {});
}
