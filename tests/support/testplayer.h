#pragma once

// The main window as the tests drive it: its controls within reach.

#include "app/frmplayer.h"

namespace volaro::testing {

class TestPlayer : public volaro::app::frmPlayer {
public:
    using frmPlayer::frmPlayer;
    using frmPlayer::ui;
};

} // namespace volaro::testing
