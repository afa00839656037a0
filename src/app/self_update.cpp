#include "app/self_update.h"

#include "download/whole_file_download.h"
#include "game/client_settings.h"
#include "game/paths.h"
#include "zeva/endpoints.h"

namespace zeva {

SelfUpdate::SelfUpdate(const Platform& platform, std::u16string toolServer,
                       std::function<WindowHandle()> owner, std::function<void()> quit)
    : m_platform(platform),
      m_toolServer(std::move(toolServer)),
      m_owner(std::move(owner)),
      m_quit(std::move(quit)) {}

void SelfUpdate::Check() {
  if (ClientSettings(m_platform).Update() == UpdateSetting::kAutomatic ||
      m_platform.dialogs.ShowMessageBox(m_owner(), kUpdateQuestion, kUpdateCaption, kMbOkCancel) ==
          kIdOk) {
    Start();
  }
}

void SelfUpdate::Start() {
  const std::u16string updater = GetClientFolder(m_platform) + kUpdaterName;
  // Only its presence counts: an updater already there is used as it is. A download that
  // fails leaves nothing under its name, so a later start never runs half an updater.
  if (!m_platform.files.GetAttributes(updater) &&
      DownloadWholeFile(m_platform, m_toolServer + endpoints::kUpdaterPath, updater) !=
          DownloadResult::kDone) {
    m_platform.dialogs.ShowMessageBox(m_owner(), kUpdaterDownloadFailed, kUpdateCaption, kMbOk);
  }
  m_platform.shell.Execute(u"", updater, u"", u"", kSwHide);
  if (m_quit) m_quit();
}

}  // namespace zeva
