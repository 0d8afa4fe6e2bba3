// Ordered lists of 8-bit text lines, the currency between the job, the runner and the views.
#pragma once

#include <string>
#include <vector>

// The list interface. The text views implement it over their own lines; TStringList keeps
// the lines in memory. Text is 8-bit and used exactly as given: nothing is trimmed or converted.
class TStrings {
public:
    virtual ~TStrings() = default;

    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& line) = 0;
    virtual void Add(const std::string& line) = 0;
    // Puts a line before the one at index (at Count(): after the last).
    virtual void Insert(int index, const std::string& line) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    // Batches changes so that a viewer redraws once; calls nest.
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}

    // Every line followed by CR LF.
    virtual std::string Text() const;
    // Replaces the content; lines end at CR LF, a lone CR or a lone LF. A break at the very end
    // does not start another line.
    virtual void SetText(const std::string& text);
};

// Throws std::out_of_range unless 0 <= index < count.
void CheckListIndex(int index, int count);

// Splits text into lines at CR LF, CR or LF, as SetText does.
std::vector<std::string> SplitLines(const std::string& text);

class TStringList : public TStrings {
public:
    TStringList() = default;
    explicit TStringList(std::vector<std::string> lines) : lines_(std::move(lines)) {}

    int Count() const override { return static_cast<int>(lines_.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& line) override;
    void Add(const std::string& line) override { lines_.push_back(line); }
    void Insert(int index, const std::string& line) override;
    void Delete(int index) override;
    void Clear() override { lines_.clear(); }
    void SetText(const std::string& text) override { lines_ = SplitLines(text); }

    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};
