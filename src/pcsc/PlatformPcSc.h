// The PC/SC backend of the platform the module runs on: WinSCard on Windows, pcsc-lite on Linux.
#pragma once

#include "pcsc/PcScApi.h"

PcScApi& PlatformPcSc();
