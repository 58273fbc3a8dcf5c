// One QApplication for all view tests, made before the first test and gone
// before the program exits (a static one would outlive Qt's own globals).

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "ui/qt/WindowFont.h"

namespace {

class QtApplication : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
        mirvok::UseWindowFont(*app_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[11] = "view_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

const auto* const kRegistered = ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
