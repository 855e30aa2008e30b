// The per-user hive file, ${XDG_CONFIG_HOME:-~/.config}/Tavrik/hkcu.reg, shared with the
// companion program. Every change is written atomically under a lock, so two programs
// writing at once lose neither change. A hive that cannot be read (not a regular file,
// too large, not registry text, no permission) is never written over: the change fails
// with the reason. A link is written through, beside the file it names.
#pragma once

#include <functional>
#include <string>

#include "platform/registry/HiveFile.h"
#include "ports/Registry.h"

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
    std::string LastProblem() const override { return problem_; }

    const std::string& path() const { return path_; }

  private:
    // Reads the hive at file; on failure sets problem_ and returns the status.
    long Load(const std::string& file, bool noFollow, HiveFile& hive);
    // Runs change on the current contents under the lock and writes the result.
    long Change(const std::function<long(HiveFile&)>& change);

    std::string path_;
    std::string problem_;  // why the last call failed
};

}  // namespace pellimor
