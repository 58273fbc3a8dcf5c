#pragma once
// The simulator's end of a pseudo-terminal. The program under test opens the
// slave path like a serial port; the simulator reads and writes the master.
// The line settings the program sets are read back from the master side: on
// Linux the baud rate shows there, while a pseudo-terminal carries no data
// bits, parity or modem lines.

#include <optional>
#include <string>

#include "link/Transport.h"

namespace mirvok::sim {

class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens a fresh pair in raw mode; false with a reason in Error() on failure.
    bool Open();
    // Closing the master hangs the slave up: the program's reads and writes
    // fail. The link goes with it and comes back with the next Open.
    void Close();
    bool IsOpen() const { return master_ >= 0; }

    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }
    const std::string& Error() const { return error_; }

    // Keeps `linkPath` pointing at the slave (replacing an old link there)
    // while the terminal is open.
    bool LinkTo(const std::string& linkPath);
    // Removes the link for good.
    void RemoveLink();

    // Non-blocking; returns the bytes read (empty when none), nothing on a
    // failure other than "no data yet".
    std::optional<std::string> Read(std::size_t maxBytes);
    // Bytes written by the program and not read yet.
    std::size_t Waiting() const;
    // Writes all bytes, waiting briefly while the slave's buffer is full.
    bool Write(const std::string& bytes);

    // The settings the program last set on its end.
    LineSettings CurrentSettings() const;

private:
    void DropLink();

    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees a hang-up between openings
    std::string slavePath_;
    std::string linkPath_;
    std::string error_;
};

}  // namespace mirvok::sim
