// The in-process COM server around the simulated handheld manager: DLL entry,
// class factory, unload check and self-registration.
//
// Registration goes to HKEY_CLASSES_ROOT with ThreadingModel "Both": the
// program creates the manager from a multithreaded apartment, and only a
// machine-wide "Both" registration gives it the direct interface pointer
// that the real component gives (an "Apartment" class would be reached
// through a proxy that our custom interfaces have no stub for).
#include <windows.h>
#include <olectl.h>

#include <atomic>

#include "../../device/HandheldInterfaces.h"
#include "sim_win.h"

namespace handheld_sim {

HMODULE g_module = nullptr;

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

const wchar_t kClsidKey[] = L"CLSID\\{BA3D0120-E617-4F66-ADCA-585CC2FB86DB}";
const wchar_t kServerKey[] = L"CLSID\\{BA3D0120-E617-4F66-ADCA-585CC2FB86DB}\\InprocServer32";

class ClassFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is static; its references keep the server loaded.
    ULONG STDMETHODCALLTYPE AddRef() override { handheld_sim::LockServer(true); return 2; }
    ULONG STDMETHODCALLTYPE Release() override { handheld_sim::LockServer(false); return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return CreateManager(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        handheld_sim::LockServer(lock != FALSE);
        return S_OK;
    }
};

ClassFactory g_factory;

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

void ObjectCreated() { ++g_objects; }
void ObjectDestroyed() { --g_objects; }
bool AnyObjectAlive() { return g_objects.load() > 0 || g_locks.load() > 0; }
void LockServer(bool lock) { lock ? ++g_locks : --g_locks; }

std::string ModuleFolder() {
    char path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameA(g_module, path, static_cast<DWORD>(sizeof(path)));
    std::string p(path, n);
    size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

}  // namespace handheld_sim

using namespace handheld_sim;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_HhManagerClass)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, out);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return AnyObjectAlive() ? S_FALSE : S_OK; }

extern "C" HRESULT __stdcall DllRegisterServer() {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) return SELFREG_E_CLASS;

    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kClsidKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    LONG rc = SetString(key, nullptr, L"Simulated handheld manager");
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return SELFREG_E_CLASS;

    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    rc = SetString(key, nullptr, path);
    if (rc == ERROR_SUCCESS) rc = SetString(key, L"ThreadingModel", L"Both");
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    LONG a = RegDeleteKeyW(HKEY_CLASSES_ROOT, kServerKey);
    LONG b = RegDeleteKeyW(HKEY_CLASSES_ROOT, kClsidKey);
    auto gone = [](LONG rc) { return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND; };
    return gone(a) && gone(b) ? S_OK : SELFREG_E_CLASS;
}
