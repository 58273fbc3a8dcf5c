#include "SerialRuntime.h"

#include <QCoreApplication>

namespace mirvok::serial {

struct SerialRuntime::Machinery {
    Machinery(int& argc, char** argv) : application(argc, argv) {}
    QCoreApplication application;
};

SerialRuntime::SerialRuntime(int& argc, char** argv) : machinery_(std::make_unique<Machinery>(argc, argv)) {}

SerialRuntime::~SerialRuntime() = default;

}  // namespace mirvok::serial
