// kelvo-server's command line: where the database password comes from, and
// the connection and log options.

#include "ServerOptions.h"
#include "StoreFixture.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace hosttest {
using testsupport::CaseName;
namespace {

struct PasswordCase {
    const char* name;
    QStringList arguments;             // "FILE" stands for the password file
    const char* fileContent;           // nullptr: no file
    const char* environment;           // KELVO_PASSWORD, nullptr: unset
    std::optional<QString> password;   // none: a usage error
};

const PasswordCase kPasswordCases[] = {
    {"BuiltIn", {}, nullptr, nullptr, QStringLiteral("plovnigur")},
    {"OnTheCommandLine", {"--password", "given"}, nullptr, "from-environment", QStringLiteral("given")},
    {"FirstLineOfTheFile", {"--password-file", "FILE"}, "in file\r\nsecond line\n", nullptr, QStringLiteral("in file")},
    {"FileBeforeEnvironment", {"--password-file", "FILE"}, "in file", "from-environment", QStringLiteral("in file")},
    {"Environment", {}, nullptr, "from-environment", QStringLiteral("from-environment")},
    {"BothOptions", {"--password", "given", "--password-file", "FILE"}, "in file", nullptr, std::nullopt},
    {"MissingFile", {"--password-file", "FILE"}, nullptr, nullptr, std::nullopt},
    {"EmptyFile", {"--password-file", "FILE"}, "\n", nullptr, std::nullopt},
};

class PasswordTest : public ::testing::TestWithParam<PasswordCase> {
protected:
    PasswordTest() : saved_(qgetenv(host::kPasswordVariable)) {}
    ~PasswordTest() override
    {
        if (saved_.isNull())
            qunsetenv(host::kPasswordVariable);
        else
            qputenv(host::kPasswordVariable, saved_);
    }

    QTemporaryDir folder;

private:
    QByteArray saved_;
};

TEST_P(PasswordTest, ThePasswordComesFromTheOptionTheFileTheEnvironmentOrTheDefault)
{
    const PasswordCase& c = GetParam();
    const QString file = folder.filePath(QStringLiteral("db-password"));
    if (c.fileContent) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.fileContent);
    }
    if (c.environment)
        qputenv(host::kPasswordVariable, c.environment);
    else
        qunsetenv(host::kPasswordVariable);
    QStringList arguments{QStringLiteral("kelvo-server")};
    for (const QString& argument : c.arguments)
        arguments << (argument == QLatin1String("FILE") ? file : argument);

    if (c.password) {
        EXPECT_EQ(host::parseServerOptions(arguments).database.password, *c.password);
    } else {
        EXPECT_THROW(host::parseServerOptions(arguments), host::UsageError);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PasswordTest, ::testing::ValuesIn(kPasswordCases), CaseName());

struct ConsoleCase {
    const char* name;
    QStringList arguments;  // "FILE" stands for the token file
    const char* token;      // the token file's content, nullptr: no file
    bool valid;
    bool enabled;
    QString address;
    quint16 port;
};

const ConsoleCase kConsoleCases[] = {
    {"OnLoopbackByDefault", {}, nullptr, true, true, QStringLiteral("127.0.0.1"), 9980},
    {"Off", {"--console", "off"}, nullptr, true, false, {}, 0},
    {"LocalhostAndAFreePort", {"--console", "localhost:0"}, nullptr, true, true, QStringLiteral("127.0.0.1"), 0},
    {"IPv6Loopback", {"--console", "[::1]:8080"}, nullptr, true, true, QStringLiteral("::1"), 8080},
    {"PortAloneStaysOnLoopback", {"--console", "8080"}, nullptr, true, true, QStringLiteral("127.0.0.1"), 8080},
    {"AnyAddressWithAToken", {"--console", "0.0.0.0:8080", "--console-token-file", "FILE"}, "tok\n", true, true,
     QStringLiteral("0.0.0.0"), 8080},
    {"AnyAddressWithoutAToken", {"--console", "0.0.0.0:8080"}, nullptr, false, false, {}, 0},
    {"AnyAddressWithAnEmptyTokenFile", {"--console", "0.0.0.0:8080", "--console-token-file", "FILE"}, "\n", false,
     false, {}, 0},
    {"AnyAddressWithAMissingTokenFile", {"--console", "0.0.0.0:8080", "--console-token-file", "FILE"}, nullptr, false,
     false, {}, 0},
    {"ATokenForAConsoleThatIsOff", {"--console", "off", "--console-token-file", "FILE"}, "tok", false, false, {}, 0},
    {"NotAnAddress", {"--console", "console.example:8080"}, nullptr, false, false, {}, 0},
    {"NotAPort", {"--console", "127.0.0.1:99999"}, nullptr, false, false, {}, 0},
};

class ConsoleOptionTest : public ::testing::TestWithParam<ConsoleCase> {
protected:
    QTemporaryDir folder;
};

TEST_P(ConsoleOptionTest, ConsoleIsOnLoopbackUnlessToldAndElsewhereOnlyWithAToken)
{
    const ConsoleCase& c = GetParam();
    const QString file = folder.filePath(QStringLiteral("console-token"));
    if (c.token) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(c.token);
    }
    QStringList arguments{QStringLiteral("kelvo-server")};
    for (const QString& argument : c.arguments)
        arguments << (argument == QLatin1String("FILE") ? file : argument);

    if (!c.valid) {
        EXPECT_THROW(host::parseServerOptions(arguments), host::UsageError);
        return;
    }
    const std::optional<console::ConsoleOptions> console = host::parseServerOptions(arguments).console;
    ASSERT_EQ(console.has_value(), c.enabled);
    if (!console)
        return;
    EXPECT_EQ(console->address, QHostAddress(c.address));
    EXPECT_EQ(console->port, c.port);
    EXPECT_EQ(console->token, c.token ? QByteArray("tok") : QByteArray());
}

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleOptionTest, ::testing::ValuesIn(kConsoleCases), CaseName());

TEST(ServerOptionsTest, ConnectionAndLogOptionsHaveTheirDefaultsAndTakeTheirValues)
{
    const host::ServerOptions defaults = host::parseServerOptions({QStringLiteral("kelvo-server")});
    EXPECT_EQ(defaults.listen.lineTimeout, std::chrono::seconds(30));
    EXPECT_EQ(defaults.listen.keepAliveIdle, std::chrono::seconds(60));
    EXPECT_EQ(defaults.logLevel, logging::Level::Info);
    EXPECT_EQ(defaults.spareConnections, 100);

    const host::ServerOptions given = host::parseServerOptions(
        {QStringLiteral("kelvo-server"), QStringLiteral("--line-timeout"), QStringLiteral("5"), QStringLiteral("--keepalive"),
         QStringLiteral("0"), QStringLiteral("--log-level"), QStringLiteral("warning"),
         QStringLiteral("--spare-connections"), QStringLiteral("0")});
    EXPECT_EQ(given.listen.lineTimeout, std::chrono::seconds(5));
    EXPECT_EQ(given.listen.keepAliveIdle, std::chrono::seconds(0));
    EXPECT_EQ(given.logLevel, logging::Level::Warning);
    EXPECT_EQ(given.spareConnections, 0);

    for (const QStringList& bad : {QStringList{"--log-level", "loud"}, QStringList{"--line-timeout", "0"},
                                   QStringList{"--keepalive", "-1"}, QStringList{"--spare-connections", "-1"}})
        EXPECT_THROW(host::parseServerOptions(QStringList{"kelvo-server"} + bad), host::UsageError) << bad.join(' ').toStdString();
}

}  // namespace
}  // namespace hosttest
