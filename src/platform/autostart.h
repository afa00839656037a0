// Starting the client with the user's session: the Run value on Windows, a freedesktop
// autostart entry elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace zeva {

// The program file the client ships as on this port; the autostart entry names the client
// folder followed by it.
#if defined(_WIN32)
inline constexpr char16_t kClientProgramName[] = u"ZEVA.exe";
#else
inline constexpr char16_t kClientProgramName[] = u"zeva";
#endif

struct AutostartEntry {
  std::u16string name;         // the entry's name: the Run value, the desktop file's name
  std::u16string displayName;  // what desktops that list their autostart entries show
  std::u16string program;      // absolute path of the program, started without arguments
};

class IAutostart {
 public:
  virtual ~IAutostart() = default;
  // Creates or replaces the entry; false when it could not be written.
  virtual bool Register(const AutostartEntry& entry) = 0;
  // Removes the entry named `name`; true when none is left (also when there was none).
  virtual bool Unregister(std::u16string_view name) = 0;
};

}  // namespace zeva
