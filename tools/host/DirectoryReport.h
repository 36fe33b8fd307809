// zeph_host --dirs: what the directory library resolves for the product on this machine, with
// every message it traced on the way, so that a user sees where the module looks and why.
#pragma once

#include <string>

#include "HostLog.h"

// Runs the library's queries for the own component as the module at `modulePath` would (its
// directory is the module's fallback) and prints each message and each answer. Returns 0.
int PrintDirectoryReport(HostLog& log, const std::string& modulePath);
