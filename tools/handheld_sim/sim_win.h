// Internal declarations shared by the Windows files of the handheld
// simulator: the module handle, the count of live objects that
// DllCanUnloadNow answers from, and the entry points between the files.
#pragma once

#include <windows.h>

#include <string>

namespace handheld_sim {

extern HMODULE g_module;

// Every live COM object, handheld thread and window thread counts here, so
// the DLL is not unloaded under them.
void ObjectCreated();
void ObjectDestroyed();
bool AnyObjectAlive();
void LockServer(bool lock);

// Creates a manager object and asks it for riid.
HRESULT CreateManager(REFIID riid, void** out);

// Folder of the simulator DLL, without a trailing backslash.
std::string ModuleFolder();

}  // namespace handheld_sim
