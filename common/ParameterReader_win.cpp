#include "ParameterReader.h"

#include "Parameters.h"
#include "RegistryData.h"
#include "RegistryKey.h"

namespace {
constexpr std::size_t kKeyPathLimit = 1023;
constexpr DWORD kValueBuffer = 254;
constexpr std::size_t kValueTextLimit = 253;
} // namespace

RegistryKey::RegistryKey(std::string subkeyPath) : subkey_(std::move(subkeyPath)) {
    if (subkey_.size() > kKeyPathLimit)
        subkey_.resize(kKeyPathLimit);
}

bool RegistryKey::open() {
    if (open_)
        return true;
    lastError_ = RegCreateKeyExA(root_, subkey_.c_str(), 0, const_cast<char *>(keyClass_.c_str()), options_,
                                 access_, &security_, &key_, &disposition_);
    open_ = lastError_ == ERROR_SUCCESS;
    return open_;
}

bool RegistryKey::query(const char *valueName, char *buffer, DWORD &size) {
    if (!open())
        return false;
    DWORD type = 0;
    lastError_ = RegQueryValueExA(key_, valueName, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size);
    if (lastError_ != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_MULTI_SZ) {
        lastError_ = ERROR_INVALID_DATATYPE;
        return false;
    }
    return true;
}

void RegistryKey::close() {
    lastError_ = 0;
    if (open_ && RegCloseKey(key_) == ERROR_SUCCESS) {
        open_ = false;
        key_ = nullptr;
    }
}

std::string ParameterReader::readValue(const std::string &subkey, const std::string &valueName) const {
    std::string path = std::string(kParametersKey) + "\\" + subkey;
    if (path.size() > 254) // the key path is built in a 255-byte buffer
        path.resize(254);
    RegistryKey key(path);
    if (!key.open())
        return {};
    char buffer[kValueBuffer] = {};
    DWORD size = kValueBuffer;
    bool ok = key.query(valueName.c_str(), buffer, size);
    key.close();
    if (!ok)
        return {};
    // Bounded by what the query returned: the data need not end in NUL.
    std::size_t n = size < kValueBuffer ? size : kValueBuffer;
    std::string text = textFromRegistryData(buffer, n);
    if (text.size() > kValueTextLimit)
        text.resize(kValueTextLimit);
    return text;
}
