#include "RemoteDispatch.h"

namespace orvane {

bool RemoteDispatcher::Handle(int code, bool hiddenInTray, ViewerActions& viewer) {
    if (!filter_.Accept(code)) return false;
    if (hiddenInTray && code != 8) return false;
    RemoteCommand cmd = MapRemoteCode(code);
    switch (cmd.action) {
    case RemoteAction::None: return false;
    case RemoteAction::ColourUp: Colour(viewer, 1); break;
    case RemoteAction::ColourDown: Colour(viewer, -1); break;
    case RemoteAction::ColourDefaults: ColourDefaults(viewer); break;
    case RemoteAction::ColourCycle:
        cycle_ = (cycle_ + 1) % 4;
        viewer.ShowBar(ColourLabel(cycle_), viewer.ColourValue(ColourProperty(cycle_)),
                       ColourMax(viewer.CardModel(), cycle_));
        break;
    default: viewer.Run(cmd.action, cmd.arg); break;
    }
    return true;
}

void RemoteDispatcher::Colour(ViewerActions& viewer, int delta) {
    int model = viewer.CardModel(), prop = ColourProperty(cycle_);
    int v = ColourStep(model, cycle_, viewer.ColourValue(prop), delta > 0);
    viewer.SetColourValue(prop, v);
    viewer.ShowBar(ColourLabel(cycle_), v, ColourMax(model, cycle_));
}

void RemoteDispatcher::ColourDefaults(ViewerActions& viewer) {
    for (int c = 0; c < 4; ++c)
        viewer.SetColourValue(ColourProperty(c), ColourDefault(viewer.CardModel(), c));
}

}  // namespace orvane
