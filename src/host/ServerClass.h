#pragma once
// DSServerClass1GetClass: the one server class the container publishes. A
// connection's session is a service::RpcSession, which makes its
// TKelvoServerMethods_EMPLOYEE at the first request; refusals are JSON-RPC
// error lines.

#include "KelvoServerContainerUnit.h"
#include "ServiceContext.h"

namespace host {

ServerClass DSServerClass1GetClass(const service::ServiceContext& context);

}  // namespace host
