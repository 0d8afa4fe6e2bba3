// The root of the object model: senders of events are plain objects, components have an owner.
#pragma once

#include <string>

class TObject {
public:
    virtual ~TObject() = default;
};

// A non-visual part of a window (a runner, a dialog). The owner frees it with itself.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner = nullptr) : owner_(owner) {}
    TComponent* Owner() const { return owner_; }
    std::string Name;

private:
    TComponent* owner_;
};
