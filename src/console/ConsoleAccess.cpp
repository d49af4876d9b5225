#include "ConsoleAccess.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QUrl>

namespace console {
namespace {

const QByteArray kCookieName = "kelvo_console";

// Compared in a time that does not depend on where they differ.
bool sameSecret(const QByteArray& a, const QByteArray& b)
{
    const QByteArray hashA = QCryptographicHash::hash(a, QCryptographicHash::Sha256);
    const QByteArray hashB = QCryptographicHash::hash(b, QCryptographicHash::Sha256);
    unsigned char difference = 0;
    for (qsizetype i = 0; i < hashA.size(); ++i)
        difference |= static_cast<unsigned char>(hashA[i] ^ hashB[i]);
    return difference == 0;
}

QByteArray cookieValue(const QByteArray& cookies, const QByteArray& name)
{
    for (const QByteArray& cookie : cookies.split(';')) {
        const QByteArray trimmed = cookie.trimmed();
        if (trimmed.startsWith(name + '='))
            return trimmed.mid(name.size() + 1);
    }
    return {};
}

QByteArray randomSecret()
{
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    return bytes.toHex();
}

}  // namespace

QByteArray headerValue(const Headers& headers, const QByteArray& name)
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value.trimmed();
    }
    return {};
}

ConsoleAccess::ConsoleAccess(const QHostAddress& address, quint16 port, QByteArray token)
    : address_(address), port_(port), token_(std::move(token)), session_(randomSecret())
{
}

bool ConsoleAccess::hostAllowed(const Headers& headers) const
{
    if (needsToken())
        return true;
    const QUrl url(QStringLiteral("http://") + QString::fromLatin1(headerValue(headers, "Host")));
    if (!url.isValid() || url.port(80) != port_)
        return false;
    const QString host = url.host();
    if (host == QLatin1String("localhost"))
        return true;
    const QHostAddress named(host);
    return named.isLoopback() || named == address_;
}

bool ConsoleAccess::authenticated(const Headers& headers) const
{
    if (!needsToken())
        return true;
    const QByteArray cookie = cookieValue(headerValue(headers, "Cookie"), kCookieName);
    if (!cookie.isEmpty() && sameSecret(cookie, session_))
        return true;
    const QByteArray authorization = headerValue(headers, "Authorization");
    return authorization.startsWith("Bearer ") && tokenMatches(authorization.mid(7).trimmed());
}

bool ConsoleAccess::changeAllowed(const Headers& headers) const
{
    if (headerValue(headers, "X-Kelvo-Console") != "1")
        return false;
    if (!headerValue(headers, "Content-Type").startsWith("application/json"))
        return false;
    const QByteArray fetchSite = headerValue(headers, "Sec-Fetch-Site");
    if (!fetchSite.isEmpty() && fetchSite != "same-origin")
        return false;
    // "https": the console behind a proxy that speaks TLS for it.
    const QByteArray origin = headerValue(headers, "Origin");
    const QByteArray host = headerValue(headers, "Host");
    return origin.isEmpty() || origin == "http://" + host || origin == "https://" + host;
}

bool ConsoleAccess::tokenMatches(const QByteArray& token) const
{
    return needsToken() && sameSecret(token, token_);
}

QByteArray ConsoleAccess::sessionCookie() const
{
    return kCookieName + '=' + session_ + "; Path=/; HttpOnly; SameSite=Strict";
}

}  // namespace console
