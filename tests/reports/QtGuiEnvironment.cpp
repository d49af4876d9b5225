// Report texts are measured with fonts, which need a QGuiApplication;
// gtest_main creates none.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtGuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QGuiApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[32] = "kelvo_report_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtGuiEnvironment);

}  // namespace
