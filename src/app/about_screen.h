#pragma once
// The about screen: the sample character KFM walking across the view with the title card, or the
// credits in two boxes when KFM is not installed.
#include <string>

namespace qb {

struct AppState;

// Where the about screen looks for KFM: MugeDir + "chars/kfm/kfm.def" (found in any letter case).
std::string AboutCharPath(const AppState& state);

// The credits box's text.
std::string CreditsText(const AppState& state);

// Runs the about screen to its end: the walkers at 40 frames per second, presented through the
// frame sink, with messages serviced in every frame's wait, and one pause of 1.2 seconds when the
// second walker has come into view (x 9). Clearing Loop.AboutRunning (closing the window,
// opening a stage) ends it. A request while it runs does nothing. The stage is not drawn meanwhile;
// the run loop's next pass draws it again.
// `asked`: About was chosen; otherwise (the walk at the first start) no box is shown: without KFM
// nothing happens.
void RunAbout(AppState& state, bool asked = true);

// mnuAbout.
void mnuAbout_Click(AppState& state);

}  // namespace qb
