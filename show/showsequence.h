#pragma once

#include "show/lumoramodule.h"

namespace lumora::show {

// Where a show stands and where each step takes it: the position in the list, manual and
// timed steps, the loop, Page Up and the end after the last picture. It knows nothing of the
// screen; the player asks it what a click, a key or the timer means and then shows it.
class ShowSequence final {
public:
    enum class Trigger { Manual, Timer };
    enum class Action {
        Nothing,      // a manual step in an automatic show
        Present,      // show the entry at `index`
        EndAfterLast, // the list is through: end the show at `index`, the last entry
    };
    struct Step {
        Action action;
        short index;
        bool operator==(const Step &) const = default;
    };

    // Reads the settings as they stand at each step; the player's settings do not change
    // while it runs.
    explicit ShowSequence(const ShowSettings &settings) : m_settings(settings) {}

    // The entry on the screen or being loaded. It may lie outside the list after Page Up on
    // the first picture; such a place loads nothing.
    short index() const { return m_index; }
    // Back to the first picture, as the show begins.
    void rewind() { m_index = 0; }
    // One place on; manual steps do nothing in an automatic show and never loop.
    Step step(Trigger trigger);
    // Two places back, never before the place ahead of the first picture, so that the step
    // that follows shows the first picture again rather than a place with no picture.
    void pageUp();
    // The entry the next step will most likely show, worth reading ahead; -1 for none.
    int upcoming() const;

private:
    bool automatic() const { return m_settings.ShowAuto == 1; }
    // Only the timer loops, and it runs only in an automatic show.
    bool loops() const { return automatic() && m_settings.ShowLoop == 1; }
    int lastIndex() const { return int(m_settings.ShowFiles.size()) - 1; }

    const ShowSettings &m_settings;
    short m_index = 0;
};

} // namespace lumora::show
