// A string list that the worker and the user-interface thread may use at the same time: every
// operation holds the list's own lock.
#pragma once

#include "toolkit/Strings.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TSyncStringList : public TStrings {
public:
    int Count() const override;
    std::string Get(int index) const override;
    void Put(int index, const std::string& line) override;
    void Add(const std::string& line) override;
    void Insert(int index, const std::string& line) override;
    void Delete(int index) override;
    void Clear() override;
    std::string Text() const override;
    void SetText(const std::string& text) override;

    std::vector<std::string> Snapshot() const;
    std::optional<std::string> First() const;

private:
    mutable std::mutex mutex_;
    TStringList list_;
};
