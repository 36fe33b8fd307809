// The real-stack tests start their own pcscd, which always serves /run/pcscd/pcscd.comm. They run
// only inside the private namespaces that run-in-namespace.sh sets up, so that they can never
// disturb the machine's own pcscd or its clients.
#pragma once

namespace realstack {

// Set by run-in-namespace.sh inside the namespaces.
inline constexpr const char* kNamespaceVariable = "ZEPH_REALSTACK_NAMESPACE";

// Throws std::runtime_error unless this process runs in those namespaces: the variable is set,
// /run/pcscd is a tmpfs and no pcscd serves it yet.
void RequirePrivateNamespace();

}  // namespace realstack
