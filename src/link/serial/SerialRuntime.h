#pragma once
// What the serial ports need running in a program that has no window: Qt's
// event machinery for Qt Serial Port (SerialRuntimePosix.cpp), nothing for
// the Win32 comm calls (SerialRuntimeWindows.cpp). A program with a window has
// its own and needs none of this.

#include <memory>

namespace mirvok::serial {

class SerialRuntime {
public:
    // Takes the program's arguments as the event machinery wants them.
    SerialRuntime(int& argc, char** argv);
    ~SerialRuntime();
    SerialRuntime(const SerialRuntime&) = delete;
    SerialRuntime& operator=(const SerialRuntime&) = delete;

private:
    struct Machinery;
    std::unique_ptr<Machinery> machinery_;
};

}  // namespace mirvok::serial
