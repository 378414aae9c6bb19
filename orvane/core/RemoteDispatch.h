// Main-window handling of one remote code: the repeated-code filter, the
// tray rule (only the close key acts while hidden) and the colour-control
// cycle. Actions go to ViewerActions, which the main window implements.
#pragma once
#include "RemoteKeys.h"

namespace orvane {

class ViewerActions {
public:
    virtual ~ViewerActions() = default;
    virtual void Run(RemoteAction action, int arg) = 0;  // everything else
    virtual int CardModel() const = 0;
    virtual int ColourValue(int property) const = 0;
    virtual void SetColourValue(int property, int value) = 0;
    virtual void ShowBar(const char* label, int value, int max) = 0;
};

class RemoteDispatcher {
public:
    // Returns true when the code led to an action.
    bool Handle(int code, bool hiddenInTray, ViewerActions& viewer);
    int CyclePosition() const { return cycle_; }
private:
    void Colour(ViewerActions& viewer, int delta);
    void ColourDefaults(ViewerActions& viewer);
    KeyFilter filter_;
    int cycle_ = 0;
};

}  // namespace orvane
