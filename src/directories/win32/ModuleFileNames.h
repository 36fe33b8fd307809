// The full file names of this module and of the host executable, and the temporary directory:
// texts of the system whose length is not known beforehand.
#pragma once

#include <string>

// The module that holds this code (true) or the host executable (false), as narrow text; empty
// when the system cannot tell.
std::string ModuleFileNameNarrow(bool thisModule);

// This module's file name as UTF-16; empty when the system cannot tell.
std::u16string ThisModuleFileNameWide();

// GetTempPathA, uncut; empty when the system has no temporary directory.
std::string SystemTempPath();
