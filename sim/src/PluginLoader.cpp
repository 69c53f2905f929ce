// Plug-in loading through the dynamic linker.
#include "PluginLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "JsonInput.h"

#ifndef KESTROM_PLUGIN_BUILD_PATH
#define KESTROM_PLUGIN_BUILD_PATH "libKestrom.so"
#endif

namespace kestrom_sim {

namespace {

std::string lastLoaderError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown reason";
}

}  // namespace

Plugin::Plugin(const std::string& path) : path_(path) {
    dlerror();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        throw InputError(path, "", "cannot be loaded: " + lastLoaderError());
    }
    // Entry points of a host plug-in are plain C functions found by name.
    auto getType = reinterpret_cast<GetTypeFunction>(dlsym(handle_, "GetType"));
    initDLL_ = reinterpret_cast<InitDLLFunction>(dlsym(handle_, "InitDLL"));
    const char* missing = getType == nullptr ? "GetType" : initDLL_ == nullptr ? "InitDLL" : "";
    if (*missing != '\0') {
        dlclose(handle_);
        handle_ = nullptr;
        throw InputError(path, missing, "no such exported function: not a channel plug-in");
    }
    const ChannelType* type = getType();
    if (type == nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
        throw InputError(path, "GetType", "gave no type descriptor");
    }
    typeName_.assign(type->name, strnlen(type->name, sizeof type->name));
}

Plugin::~Plugin() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

ChannelPtr Plugin::createChannel() {
    ChannelPtr channel(initDLL_());
    if (!channel) {
        throw InputError(path_, "InitDLL", "gave no channel");
    }
    return channel;
}

std::string defaultPluginPath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string directory(self, static_cast<std::size_t>(length));
        directory.erase(directory.find_last_of('/') + 1);
        const std::string beside = directory + "libKestrom.so";
        if (access(beside.c_str(), F_OK) == 0) {
            return beside;
        }
    }
    return KESTROM_PLUGIN_BUILD_PATH;
}

}  // namespace kestrom_sim
