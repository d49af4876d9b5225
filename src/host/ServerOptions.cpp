#include "ServerOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>

namespace host {
namespace {

QCommandLineOption valueOption(const char* name, const QString& description, const char* valueName,
                               const QString& defaultValue = {})
{
    const QString shown = defaultValue.isEmpty() ? description : description + QStringLiteral(" Default: %1.").arg(defaultValue);
    return QCommandLineOption(QLatin1String(name), shown, QLatin1String(valueName), defaultValue);
}

template <typename Number>
Number number(const QCommandLineParser& parser, const QCommandLineOption& option, qint64 minimum, qint64 maximum)
{
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (!ok || value < minimum || value > maximum) {
        throw UsageError(QStringLiteral("--%1: %2 is not a number from %3 to %4")
                             .arg(option.names().constFirst(), parser.value(option))
                             .arg(minimum)
                             .arg(maximum)
                             .toStdString());
    }
    return static_cast<Number>(value);
}

QHostAddress listenAddress(const QString& text)
{
    if (text.isEmpty())
        return QHostAddress::Any;
    if (text == QLatin1String("localhost"))
        return QHostAddress::LocalHost;
    QHostAddress address;
    if (!address.setAddress(text))
        throw UsageError(QStringLiteral("--listen: %1 is not an IP address").arg(text).toStdString());
    return address;
}

// The first line of a file, without its line end; `option` names the
// option that gave the file.
QByteArray firstLine(const QString& option, const QString& path, const char* what)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw UsageError(QStringLiteral("%1: cannot read %2: %3").arg(option, path, file.errorString()).toStdString());
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        throw UsageError(QStringLiteral("%1: %2 holds no %3").arg(option, path, QLatin1String(what)).toStdString());
    return line;
}

// --console: off, or ADDRESS:PORT ([ADDRESS]:PORT for IPv6); a port alone
// keeps the loopback address.
std::optional<console::ConsoleOptions> consoleListen(const QString& text, const QString& tokenFile)
{
    if (text == QLatin1String("off")) {
        if (!tokenFile.isEmpty())
            throw UsageError("--console-token-file: the console is off");
        return std::nullopt;
    }
    console::ConsoleOptions options;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    QString address = colon < 0 ? QString() : text.left(colon);
    const QString portText = colon < 0 ? text : text.mid(colon + 1);
    if (address.startsWith(QLatin1Char('[')) && address.endsWith(QLatin1Char(']')))
        address = address.mid(1, address.size() - 2);
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535)
        throw UsageError(QStringLiteral("--console: %1 is not off or ADDRESS:PORT").arg(text).toStdString());
    options.port = static_cast<quint16>(port);
    if (address == QLatin1String("localhost"))
        options.address = QHostAddress::LocalHost;
    else if (!address.isEmpty() && !options.address.setAddress(address))
        throw UsageError(QStringLiteral("--console: %1 is not an IP address").arg(address).toStdString());
    if (!tokenFile.isEmpty())
        options.token = firstLine(QStringLiteral("--console-token-file"), tokenFile, "token");
    if (!options.address.isLoopback() && options.token.isEmpty())
        throw UsageError(QStringLiteral("--console %1: an address other than a loopback one needs --console-token-file")
                             .arg(text)
                             .toStdString());
    return options;
}

// kelvo-server's options on a parser of their own.
struct CommandLine {
    CommandLine()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Kelvo order-control server: answers the handheld clients over TCP (newline-delimited JSON-RPC 2.0)\n"
            "and prints their waybills. Without --headless it shows the operator window."));
        parser.addOptions({database, user, password, passwordFile, role, charset, codePage, port, listen, maxClients,
                           spareConnections, maxLine, lineTimeout, keepAlive, printer, printTo, headless, demo,
                           printWaybill, logLevel, consoleOption, consoleTokenFile});
    }

    const ServerOptions defaults;
    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption database = valueOption(
        "database", QStringLiteral("The goods database: HOST:PATH on a Firebird server, or a file path for the embedded engine."),
        "DATABASE", QStringLiteral("localhost:/db/preces.gdb"));
    const QCommandLineOption user = valueOption("user", QStringLiteral("Database user."), "NAME", defaults.database.user);
    // The default password is not shown.
    const QCommandLineOption password = valueOption(
        "password",
        QStringLiteral("Database password. Other users of the machine can read it in the process list: prefer "
                       "--password-file or the environment variable %1. Default: the built-in one.")
            .arg(QLatin1String(kPasswordVariable)),
        "PASSWORD");
    const QCommandLineOption passwordFile = valueOption(
        "password-file", QStringLiteral("Read the database password from the first line of FILE (e.g. a systemd credential)."),
        "FILE");
    const QCommandLineOption role = valueOption("role", QStringLiteral("SQL role of the client sessions' connections."),
                                                "ROLE", QStringLiteral("RoleName"));
    const QCommandLineOption charset = valueOption(
        "charset", QStringLiteral("Connection character set (NONE: raw 8-bit text decoded with --codepage)."), "CHARSET",
        defaults.database.charset);
    const QCommandLineOption codePage = valueOption("codepage", QStringLiteral("Code page of 8-bit texts."), "CODEPAGE",
                                                    defaults.database.codePage);
    const QCommandLineOption port = valueOption("port", QStringLiteral("TCP port of the clients."), "PORT",
                                                QString::number(defaults.listen.port));
    const QCommandLineOption listen = valueOption(
        "listen", QStringLiteral("IP address to listen on (default: all addresses)."), "ADDRESS");
    const QCommandLineOption maxClients = valueOption(
        "max-clients",
        QStringLiteral("Client connections served at the same time; a newcomer beyond them closes the connection idle "
                       "the longest, and is refused when every one is busy."),
        "N",
        QString::number(defaults.listen.maxClients));
    const QCommandLineOption spareConnections = valueOption(
        "spare-connections",
        QStringLiteral("Database connections attached ahead for the sessions of clients still to connect, and kept "
                       "when a session ends (0: each session attaches its own)."),
        "N", QString::number(defaults.spareConnections));
    const QCommandLineOption maxLine = valueOption(
        "max-line", QStringLiteral("Longest request line in bytes; a longer one closes its connection."), "BYTES",
        QString::number(defaults.listen.maxLineBytes));
    const QCommandLineOption lineTimeout = valueOption(
        "line-timeout", QStringLiteral("Seconds within which a request line, once begun, must end; else the connection closes."),
        "SECONDS", QString::number(defaults.listen.lineTimeout.count() / 1000));
    const QCommandLineOption keepAlive = valueOption(
        "keepalive",
        QStringLiteral("Seconds of silence after which a client connection is probed; one that answers no probe for a "
                       "minute more is closed (0: no probes)."),
        "SECONDS", QString::number(defaults.listen.keepAliveIdle.count()));
    const QCommandLineOption printer = valueOption(
        "printer", QStringLiteral("Printer of the waybills (default: the system's default printer)."), "NAME");
    const QCommandLineOption printTo = valueOption(
        "print-to", QStringLiteral("Write each print job as a PDF file in DIR instead of printing."), "DIR");
    const QCommandLineOption headless{QStringLiteral("headless"),
                                      QStringLiteral("No window: settings restored at start and on SIGHUP, saved on SIGINT or SIGTERM.")};
    const QCommandLineOption demo{QStringLiteral("demo"),
                                  QStringLiteral("Use the embedded demo database var/demo.fdb (made once), print to var/prints/.")};
    const QCommandLineOption printWaybill = valueOption("print-waybill", QStringLiteral("Print the waybill with key ISN."),
                                                        "ISN");
    const QCommandLineOption logLevel = valueOption(
        "log-level", QStringLiteral("Least level of the events logged on standard error: debug, info, warning or error."),
        "LEVEL", QStringLiteral("info"));

    const QCommandLineOption consoleOption = valueOption(
        "console",
        QStringLiteral("Address and port of the operator console in the browser, or off. An address other than a "
                       "loopback one needs --console-token-file."),
        "ADDRESS:PORT", QStringLiteral("127.0.0.1:9980"));
    const QCommandLineOption consoleTokenFile = valueOption(
        "console-token-file", QStringLiteral("The console's access token is the first line of FILE."), "FILE");

    // --help, --help-all or --version.
    bool asksForText() const
    {
        return parser.isSet(help) || parser.isSet(QStringLiteral("help-all")) || parser.isSet(version);
    }

    // The options of the parsed command line; throws UsageError.
    ServerOptions options() const
    {
        if (!parser.positionalArguments().isEmpty())
            throw UsageError(
                QStringLiteral("Unexpected argument %1").arg(parser.positionalArguments().constFirst()).toStdString());
        ServerOptions options;
        options.database.database = parser.value(database);
        options.database.user = parser.value(user);
        options.database.password = databasePassword();
        options.database.charset = parser.value(charset);
        options.database.codePage = parser.value(codePage);
        options.role = parser.value(role);
        options.listen.address = listenAddress(parser.value(listen));
        options.listen.port = number<quint16>(parser, port, 0, 65535);
        options.listen.maxClients = number<int>(parser, maxClients, 1, 100000);
        options.spareConnections = number<int>(parser, spareConnections, 0, 100000);
        options.listen.maxLineBytes = number<qsizetype>(parser, maxLine, 1, qint64{1} << 30);
        options.listen.lineTimeout = std::chrono::seconds(number<int>(parser, lineTimeout, 1, 24 * 3600));
        options.listen.keepAliveIdle = std::chrono::seconds(number<int>(parser, keepAlive, 0, 24 * 3600));
        options.printer = parser.value(printer);
        options.printTo = parser.value(printTo);
        options.headless = parser.isSet(headless);
        options.demo = parser.isSet(demo);
        if (parser.isSet(printWaybill))
            options.printWaybill = number<std::int32_t>(parser, printWaybill, 0, std::numeric_limits<std::int32_t>::max());
        const std::optional<logging::Level> level = logging::levelNamed(parser.value(logLevel));
        if (!level)
            throw UsageError(QStringLiteral("--log-level: %1 is not debug, info, warning or error")
                                 .arg(parser.value(logLevel))
                                 .toStdString());
        options.logLevel = *level;
        options.console = consoleListen(parser.value(consoleOption), parser.value(consoleTokenFile));
        return options;
    }

    // --password, else --password-file, else the environment, else the
    // built-in password.
    QString databasePassword() const
    {
        if (parser.isSet(password) && parser.isSet(passwordFile))
            throw UsageError("--password and --password-file: give only one of them");
        if (parser.isSet(password))
            return parser.value(password);
        if (parser.isSet(passwordFile))
            return QString::fromUtf8(firstLine(QStringLiteral("--password-file"), parser.value(passwordFile), "password"));
        if (qEnvironmentVariableIsSet(kPasswordVariable))
            return qEnvironmentVariable(kPasswordVariable);
        return QStringLiteral("plovnigur");
    }
};

QString projectFolder()
{
    if (QFileInfo::exists(QStringLiteral("db/schema.sql")))
        return QDir::currentPath();
    return QStringLiteral(KELVO_SOURCE_DIR);
}

void makeFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        throw std::runtime_error(QStringLiteral("Cannot create the folder %1").arg(path).toStdString());
}

// Made under another name and renamed when complete, so that a failed
// attempt is never taken for the demo database.
void createDemoDatabase(const db::ConnectionOptions& connection, const QDir& project, const QString& path)
{
    const QString partial = path + QStringLiteral(".part");
    QFile::remove(partial);
    db::ConnectionOptions options = connection;
    options.database = partial;
    db::Connection::createDatabase(options, {project.filePath(QStringLiteral("db/schema.sql")),
                                             project.filePath(QStringLiteral("db/demo-data.sql"))});
    if (!QFile::rename(partial, path))
        throw std::runtime_error(QStringLiteral("Cannot rename %1 to %2").arg(partial, path).toStdString());
}

}  // namespace

ApplicationKind applicationKind(const QStringList& arguments)
{
    CommandLine c;
    if (!c.parser.parse(arguments) || c.asksForText())
        return ApplicationKind::Console;
    try {
        return c.options().headless ? ApplicationKind::Headless : ApplicationKind::Window;
    } catch (const UsageError&) {
        return ApplicationKind::Console;
    }
}

ServerOptions parseServerOptions(const QStringList& arguments)
{
    CommandLine c;
    if (!c.parser.parse(arguments))
        throw UsageError(c.parser.errorText().toStdString());
    // Prints the help or the version and exits.
    if (c.asksForText())
        c.parser.process(arguments);
    return c.options();
}

db::ConnectionOptions operatorConnectionOptions(const ServerOptions& options)
{
    db::ConnectionOptions connection = options.database;
    connection.mode = db::TransactionMode::Explicit;
    return connection;
}

db::ConnectionOptions employeeConnectionOptions(const ServerOptions& options)
{
    db::ConnectionOptions connection = options.database;
    connection.role = options.role;
    connection.mode = db::TransactionMode::AutoCommit;
    return connection;
}

void prepareDemo(ServerOptions& options)
{
    const QDir project(projectFolder());
    const QDir var(project.filePath(QStringLiteral("var")));
    makeFolder(var.path());
    const QString database = var.filePath(QStringLiteral("demo.fdb"));
    if (!QFileInfo::exists(database))
        createDemoDatabase(options.database, project, database);
    options.database.database = database;
    if (options.printTo.isEmpty())
        options.printTo = var.filePath(QStringLiteral("prints"));
    makeFolder(options.printTo);
    options.settingsLocation = var.filePath(QStringLiteral("Dravun.json"));
}

}  // namespace host
