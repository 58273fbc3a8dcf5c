#pragma once
// The serial transport needs a Qt application object in the test program.

#include <QCoreApplication>

namespace mirvok::test {

inline void EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "mirvok_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) static QCoreApplication app(argc, argv);
}

}  // namespace mirvok::test
