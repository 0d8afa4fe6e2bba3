// The root of the object model: senders of events are plain objects, components have an owner.
#pragma once

#include <string>

class TObject {
public:
    virtual ~TObject() = default;
};

// A part of a window with a name and an owner (a runner, a control). The owner only names where
// it belongs: whoever created it holds it and frees it.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner = nullptr) : owner_(owner) {}
    TComponent* Owner() const { return owner_; }
    std::string Name;

private:
    TComponent* owner_;
};
