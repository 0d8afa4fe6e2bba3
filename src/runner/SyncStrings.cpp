#include "runner/SyncStrings.h"

int TSyncStringList::Count() const
{
    std::lock_guard lock(mutex_);
    return list_.Count();
}

std::string TSyncStringList::Get(int index) const
{
    std::lock_guard lock(mutex_);
    return list_.Get(index);
}

void TSyncStringList::Put(int index, const std::string& line)
{
    std::lock_guard lock(mutex_);
    list_.Put(index, line);
}

void TSyncStringList::Add(const std::string& line)
{
    std::lock_guard lock(mutex_);
    list_.Add(line);
}

void TSyncStringList::Insert(int index, const std::string& line)
{
    std::lock_guard lock(mutex_);
    list_.Insert(index, line);
}

void TSyncStringList::Delete(int index)
{
    std::lock_guard lock(mutex_);
    list_.Delete(index);
}

void TSyncStringList::Clear()
{
    std::lock_guard lock(mutex_);
    list_.Clear();
}

std::string TSyncStringList::Text() const
{
    std::lock_guard lock(mutex_);
    return list_.Text();
}

void TSyncStringList::SetText(const std::string& text)
{
    std::lock_guard lock(mutex_);
    list_.SetText(text);
}

std::vector<std::string> TSyncStringList::Snapshot() const
{
    std::lock_guard lock(mutex_);
    return list_.Lines();
}

std::optional<std::string> TSyncStringList::First() const
{
    std::lock_guard lock(mutex_);
    if (list_.Count() == 0)
        return std::nullopt;
    return list_.Get(0);
}
