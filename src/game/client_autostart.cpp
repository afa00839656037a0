#include "game/client_autostart.h"

#include "game/paths.h"

namespace zeva {

AutostartEntry ClientAutostartEntry(const Platform& platform) {
  return {kAutostartName, u"KIVO泽瓦助手", GetClientFolder(platform) + kClientProgramName};
}

bool SetClientAutostart(const Platform& platform, bool on) {
  return on ? platform.autostart.Register(ClientAutostartEntry(platform))
            : platform.autostart.Unregister(kAutostartName);
}

}  // namespace zeva
