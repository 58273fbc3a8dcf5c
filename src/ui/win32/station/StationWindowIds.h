#pragma once
// The control ids of the Win32 station window, in reading order (which is
// its Tab order), and the names its test driver finds them by.

namespace mirvok::win32station {

// The class names by which tools find the window and its tiles.
inline constexpr wchar_t kStationWindowClass[] = L"MirvokStationWindow";
inline constexpr wchar_t kTileAreaClass[] = L"MirvokStationTiles";
inline constexpr wchar_t kTileClass[] = L"MirvokStationTile";

enum ControlId : int {
    kIdDownloadGroup = 2000,
    kIdFileLabel,
    kIdFile,
    kIdBrowse,
    kIdFacts,
    kIdModeLabel,
    kIdMode,
    kIdRate,
    kIdCrGroup,
    kIdTerminal,
    kIdDownload,
    kIdWaitLabel,
    kIdWait,
    kIdLineCheck,
    kIdBlocksLabel,
    kIdBlock0,  // the nine block boxes follow
    kIdPortGroup = kIdBlock0 + 9,
    kIdPortsLabel,
    kIdPorts,
    kIdAllPorts,
    kIdRefresh,
    kIdOptionGroup,
    kIdWatch,
    kIdFailFast,
    kIdRetriesLabel,
    kIdRetries,
    kIdRetriesSpin,
    kIdIdentify,
    kIdLogLabel,
    kIdLog,
    kIdLogBrowse,
    kIdJunitLabel,
    kIdJunit,
    kIdJunitBrowse,
    kIdStartAll,
    kIdStopAll,
    kIdTotals,
    kIdTiles,
    kIdNotice,
    kIdAttemptsLabel,
    kIdAttempts,
    kIdTileStop = 3000,      // + the tile's index: its stop button
    kIdTileProgress = 4000,  // + the tile's index: its progress bar
};

struct NamedControl {
    const char* name;
    int id;
};

// The names the test driver and its scripts use.
inline constexpr NamedControl kNamedControls[] = {
    {"file", kIdFile},
    {"browse", kIdBrowse},
    {"facts", kIdFacts},
    {"mode", kIdMode},
    {"rate", kIdRate},
    {"terminal", kIdTerminal},
    {"download", kIdDownload},
    {"wait", kIdWait},
    {"line-check", kIdLineCheck},
    {"block0", kIdBlock0},
    {"ports", kIdPorts},
    {"all-ports", kIdAllPorts},
    {"refresh", kIdRefresh},
    {"watch", kIdWatch},
    {"fail-fast", kIdFailFast},
    {"retries", kIdRetries},
    {"identify", kIdIdentify},
    {"log", kIdLog},
    {"log-browse", kIdLogBrowse},
    {"junit", kIdJunit},
    {"junit-browse", kIdJunitBrowse},
    {"start-all", kIdStartAll},
    {"stop-all", kIdStopAll},
    {"totals", kIdTotals},
    {"notice", kIdNotice},
    {"attempts", kIdAttempts},
};

// Posted to the window when the console is closed or the system ends the
// session from another thread: stop every device and end.
inline constexpr unsigned kTerminateMessage = 0x8000 + 1;  // WM_APP + 1

}  // namespace mirvok::win32station
