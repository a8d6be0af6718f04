#include "RuntimeLibrary.h"

#include <dlfcn.h>

bool RuntimeLibrary::load(const std::string &path) {
    unload();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    loadError_.clear();
    if (!handle_) {
        const char *error = dlerror();
        loadError_ = error ? error : "";
    }
    return handle_ != nullptr;
}

void RuntimeLibrary::unload() {
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

void *RuntimeLibrary::symbol(const char *name) const {
    if (!handle_)
        return nullptr;
    return dlsym(handle_, name);
}
