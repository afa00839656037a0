// Autostart on freedesktop desktops: a desktop entry in $XDG_CONFIG_HOME/autostart.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/autostart.h"

namespace zeva::posix {

class XdgAutostart final : public IAutostart {
 public:
  // Entries go to `folder`; empty: $XDG_CONFIG_HOME/autostart, read at each call.
  explicit XdgAutostart(std::string folder = {}) : m_folder(std::move(folder)) {}

  bool Register(const AutostartEntry& entry) override;
  bool Unregister(std::u16string_view name) override;

  // The entry's file: the folder, the name and ".desktop"; empty when there is no folder.
  std::string EntryPath(std::u16string_view name) const;

 private:
  std::string m_folder;
};

// $XDG_CONFIG_HOME/autostart; ~/.config/autostart when the variable is unset or relative.
std::string AutostartFolder();

// The Exec value that starts `program` (UTF-8) without arguments: quoted and escaped as the
// desktop entry format requires; nothing for a path holding control characters.
std::optional<std::string> DesktopExecValue(std::string_view program);

}  // namespace zeva::posix
