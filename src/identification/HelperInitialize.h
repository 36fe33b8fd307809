// Initialisation of the card identification helpers for the calling thread.
#pragma once

namespace ZEPH_Helper {

// Installs the thread's crash handlers, gives the helper library the extension's component name
// ("ZEPH.Ext.PcSc") and hands the helper library's trace sink to the directory library when
// that has none yet. May run any number of times; returns true.
bool VH_Initialize();

}  // namespace ZEPH_Helper
