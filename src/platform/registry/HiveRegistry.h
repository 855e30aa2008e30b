// The per-user hive file, ${XDG_CONFIG_HOME:-~/.config}/Tavrik/hkcu.reg, shared with the
// companion program. Every change is written atomically under a lock, so two programs
// writing at once lose neither change; a file that cannot be parsed is kept aside, never
// overwritten.
#pragma once

#include <functional>
#include <string>

#include "platform/Registry.h"
#include "platform/registry/HiveFile.h"

namespace pellimor {

std::string DefaultHivePath();

class HiveRegistry : public Registry {
  public:
    explicit HiveRegistry(std::string path) : path_(std::move(path)) {}

    long QueryValue(const std::string& key, const std::string& name, RegistryValue& value) override;
    long SetValue(const std::string& key, const std::string& name,
                  const RegistryValue& value) override;
    bool KeyExists(const std::string& key) override;
    long CreateKey(const std::string& key) override;

    const std::string& path() const { return path_; }

  private:
    HiveFile Read(bool& corrupt) const;
    // Runs change on the current contents under the lock and writes the result.
    long Change(const std::function<long(HiveFile&)>& change);

    std::string path_;
};

}  // namespace pellimor
