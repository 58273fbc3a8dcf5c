#pragma once
// What a station window's views follow: the form says which of its parts
// changed, and the view repaints those from the form's state. The form
// names no control; a view reads no caption back.

#include <cstddef>

namespace mirvok::stationwindow {

enum FormChange : unsigned {
    kChoicesChanged = 1u << 0,   // the choices, the file's facts, the port list
    kTilesChanged = 1u << 1,     // tiles came or went (TileChanged tells of one tile's figures)
    kTotalsChanged = 1u << 2,    // done, failed, stopped, waiting
    kAttemptsChanged = 1u << 3,  // the list of last attempts
    kRunningChanged = 1u << 4,   // a run began or ended: what may be chosen and pressed
    kNoticeChanged = 1u << 5,    // the line under the tiles (a refusal, a lost record)
    kMayClose = 1u << 6,         // the devices have ended after a closing: the window may close now
};

class StationFormObserver {
public:
    virtual ~StationFormObserver() = default;
    virtual void FormChanged(unsigned changes) = 0;
    // One tile's state or figures changed.
    virtual void TileChanged(std::size_t index) = 0;
};

}  // namespace mirvok::stationwindow
