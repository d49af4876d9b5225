#pragma once
// DSServerClass1GetClass: the one server class the container publishes. A
// connection's session is a service::RpcSession, which makes its
// TKelvoServerMethods_EMPLOYEE at the first request; refusals are JSON-RPC
// error lines.

#include "KelvoServerContainerUnit.h"
#include "ServiceContext.h"

#include <functional>

namespace host {

// The context of one connection's session, for the client at `peer`.
using SessionContext = std::function<service::ServiceContext(const QString& peer)>;

ServerClass DSServerClass1GetClass(SessionContext sessionContext);
// Every session on a copy of `context` with its client as the peer; the
// copy is made when the session is.
ServerClass DSServerClass1GetClass(const service::ServiceContext& context);

}  // namespace host
