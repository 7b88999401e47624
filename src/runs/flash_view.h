#pragma once
// What a real-time run needs of its view beyond the upgrade's: whether the run reached the
// completion text, and a way to close its output when the run is over. The terminal view of
// a single run and the row of a radio in a crate implement it.
#include "upgrade/time_left.h"
#include "upgrade/upgrade_view.h"

namespace quenfall {

class FlashView : public UpgradeView {
public:
    // True once " Program upgrade is complete!" was shown and no failure text after it.
    virtual bool Completed() const = 0;
    // The run is over: what is left of the progress display is closed.
    virtual void Finish() = 0;
    // The run's phase, blocks and time left, whenever what they show changes; a last one
    // with RunPhase::Ended (at 100% when the run completed) before Finish.
    virtual void RunProgressChanged(const RunProgress& /*progress*/) {}
};

}  // namespace quenfall
