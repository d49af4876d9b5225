// Report texts are measured with fonts, and painted, which needs a
// QGuiApplication; gtest_main creates none. Linked into a test executable, it
// makes one for the whole run, without a screen.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtGuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[32] = "kelvo_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtGuiEnvironment);

}  // namespace
