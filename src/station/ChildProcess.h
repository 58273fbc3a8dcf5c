#pragma once
// A child program of the station: started with its standard input and output
// on pipes and its standard error on the null device, so that only the
// supervisor writes to the terminal. Closing its input is the child's signal
// to stop; its output is read without blocking. A child never outlives its
// supervisor's end by more than its own stop: ChildProcessPosix.cpp starts it
// with fork and exec, in a process group of its own (so the terminal's Ctrl-C
// reaches the supervisor alone) and with the supervisor's death as a SIGINT
// to it; ChildProcessWindows.cpp with CreateProcessW, in a new process group
// and in a job that ends with the supervisor.

#include <memory>
#include <string>
#include <vector>

namespace mirvok::station {

class ChildProcess {
public:
    // Starts `program` with `args` (without the program name); nullptr when
    // it cannot be started, and then `failure` holds why in the system's
    // words ("Too many open files"). Call it from the thread that runs the
    // station for as long as the station runs: on Linux the end of that
    // thread stops the child.
    static std::unique_ptr<ChildProcess> Start(const std::string& program,
                                               const std::vector<std::string>& args, std::string& failure);
    virtual ~ChildProcess() = default;
    // The running program's own file, to start copies of it.
    static std::string OwnProgram();

    // Appends what the child has written and returns at once; false once its
    // output has ended (everything before the end has been appended).
    virtual bool ReadAvailable(std::string& out) = 0;
    // Closes the child's standard input: the child stops as its operator's
    // Ctrl-C would stop it.
    virtual void CloseInput() = 0;
    // Whether it has ended; then `exitCode` is its code, or -1 when it did
    // not end by itself (a crash or a kill).
    virtual bool Ended(int& exitCode) = 0;
    // Ends it at once (a child that does not stop when asked).
    virtual void Kill() = 0;
};

}  // namespace mirvok::station
