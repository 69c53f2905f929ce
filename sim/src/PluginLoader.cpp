// Plug-in loading through the system's loader: LoadLibrary and GetProcAddress on Windows,
// the dynamic linker elsewhere.
#include "PluginLoader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <climits>
#include <cstring>

#include "scenario/JsonInput.h"

#if defined(_WIN32)
#define KESTROM_PLUGIN_FILE_NAME(name) name ".dll"
#else
#define KESTROM_PLUGIN_FILE_NAME(name) "lib" name ".so"
#endif
#ifndef KESTROM_PLUGIN_BUILD_PATH
#define KESTROM_PLUGIN_BUILD_PATH KESTROM_PLUGIN_FILE_NAME("Kestrom")
#endif
#ifndef KESTROM_OPTIMAL_PLUGIN_BUILD_PATH
#define KESTROM_OPTIMAL_PLUGIN_BUILD_PATH KESTROM_PLUGIN_FILE_NAME("KestromOptimal")
#endif

namespace kestrom_sim {

namespace {

#if defined(_WIN32)
void* openLibrary(const std::string& path) {
    return LoadLibraryA(path.c_str());
}
void* findFunction(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void closeLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}
// The system's text for the loader's last error, without its closing line break.
std::string lastLoaderError() {
    const DWORD error = GetLastError();
    char* text = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text),
        0, nullptr);
    std::string message = text != nullptr ? text : "system error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message;
}
// The folder of the running program, with a closing separator; empty when unknown.
std::string programFolder() {
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self) {
        return "";
    }
    std::string folder(self, length);
    return folder.erase(folder.find_last_of("\\/") + 1);
}
bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
#else
void* openLibrary(const std::string& path) {
    dlerror();
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* findFunction(void* library, const char* name) {
    return dlsym(library, name);
}
void closeLibrary(void* library) {
    dlclose(library);
}
std::string lastLoaderError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown reason";
}
std::string programFolder() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return "";
    }
    std::string folder(self, static_cast<std::size_t>(length));
    return folder.erase(folder.find_last_of('/') + 1);
}
bool fileExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}
#endif

}  // namespace

Plugin::Plugin(const std::string& path) : path_(path) {
    handle_ = openLibrary(path);
    if (handle_ == nullptr) {
        throw InputError(path, "", "cannot be loaded: " + lastLoaderError());
    }
    // Entry points of a host plug-in are plain C functions found by name.
    auto getType = reinterpret_cast<GetTypeFunction>(findFunction(handle_, "GetType"));
    initDLL_ = reinterpret_cast<InitDLLFunction>(findFunction(handle_, "InitDLL"));
    const char* missing = getType == nullptr ? "GetType" : initDLL_ == nullptr ? "InitDLL" : "";
    if (*missing != '\0') {
        closeLibrary(handle_);
        handle_ = nullptr;
        throw InputError(path, missing, "no such exported function: not a channel plug-in");
    }
    const ChannelType* type = getType();
    if (type == nullptr) {
        closeLibrary(handle_);
        handle_ = nullptr;
        throw InputError(path, "GetType", "gave no type descriptor");
    }
    typeName_.assign(type->name, strnlen(type->name, sizeof type->name));
}

Plugin::~Plugin() {
    if (handle_ != nullptr) {
        closeLibrary(handle_);
    }
}

ChannelPtr Plugin::createChannel() {
    ChannelPtr channel(initDLL_());
    if (!channel) {
        throw InputError(path_, "InitDLL", "gave no channel");
    }
    return channel;
}

std::string pluginPathFor(AllocatorKind allocator) {
    const bool optimal = allocator == AllocatorKind::optimal;
    const std::string folder = programFolder();
    const std::string beside = folder + (optimal ? KESTROM_PLUGIN_FILE_NAME("KestromOptimal")
                                                 : KESTROM_PLUGIN_FILE_NAME("Kestrom"));
    if (!folder.empty() && fileExists(beside)) {
        return beside;
    }
    return optimal ? KESTROM_OPTIMAL_PLUGIN_BUILD_PATH : KESTROM_PLUGIN_BUILD_PATH;
}

}  // namespace kestrom_sim
