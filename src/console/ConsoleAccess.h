#pragma once
// Who may use the console. On a loopback address anyone on the machine may,
// and the Host a request names must be a loopback one, so that a web page
// elsewhere cannot reach the console through a name of its own pointing at
// 127.0.0.1. On any other address a request needs the token: the page's
// login exchanges it for a session cookie (HttpOnly, SameSite=Strict), a
// script sends it as "Authorization: Bearer TOKEN".
//
// A request that changes something must come from the console's own page:
// a JSON body, the header "X-Kelvo-Console: 1" (which a page of another
// origin cannot send without the console's consent, and it never consents),
// and an Origin, where the browser sends one, that is the console's own.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPair>

namespace console {

using Headers = QList<QPair<QByteArray, QByteArray>>;

// The value of the header `name` (any case); empty when absent.
QByteArray headerValue(const Headers& headers, const QByteArray& name);

class ConsoleAccess {
public:
    // An empty token: no login (only for a loopback address).
    ConsoleAccess(const QHostAddress& address, quint16 port, QByteArray token);

    void setPort(quint16 port) { port_ = port; }
    bool needsToken() const { return !token_.isEmpty(); }

    // The Host of the request is one the console answers to.
    bool hostAllowed(const Headers& headers) const;
    // The request carries the session cookie or the token.
    bool authenticated(const Headers& headers) const;
    // The request is a change sent by the console's own page.
    bool changeAllowed(const Headers& headers) const;
    // The token the login sent is the right one.
    bool tokenMatches(const QByteArray& token) const;

    // The Set-Cookie value of a session that logged in.
    QByteArray sessionCookie() const;

private:
    QHostAddress address_;
    quint16 port_;
    QByteArray token_;
    QByteArray session_;  // random, for this run of the server
};

}  // namespace console
