#include "app/self_update.h"

#include "app/updater_signature.h"
#include "download/whole_file_download.h"
#include "game/client_settings.h"
#include "game/paths.h"
#include "zeva/endpoints.h"

namespace zeva {

SelfUpdate::SelfUpdate(const Platform& platform, std::u16string toolServer,
                       std::function<WindowHandle()> owner, std::function<void()> quit,
                       std::string publicKey)
    : m_platform(platform),
      m_toolServer(std::move(toolServer)),
      m_owner(std::move(owner)),
      m_quit(std::move(quit)),
      m_publicKey(std::move(publicKey)) {}

void SelfUpdate::Check() {
  if (ClientSettings(m_platform).Update() == UpdateSetting::kAutomatic ||
      m_platform.dialogs.ShowMessageBox(m_owner(), kUpdateQuestion, kUpdateCaption, kMbOkCancel) ==
          kIdOk) {
    Start();
  }
}

void SelfUpdate::Start() {
  const std::u16string updater = GetClientFolder(m_platform) + kUpdaterName;
  // A download that fails leaves nothing under its name, so a later start never runs half an
  // updater.
  if (!m_platform.files.GetAttributes(updater) &&
      DownloadWholeFile(m_platform, m_toolServer + endpoints::kUpdaterPath, updater) !=
          DownloadResult::kDone) {
    m_platform.dialogs.ShowMessageBox(m_owner(), kUpdaterDownloadFailed, kUpdateCaption, kMbOk);
  } else if (!SignatureChecks(updater)) {
    // Changed on the way or on the disk: it never runs, and the next try fetches both afresh.
    m_platform.files.Remove(updater);
    m_platform.files.Remove(updater + kSignatureSuffix);
    m_platform.dialogs.ShowMessageBox(m_owner(), kUpdaterCheckFailed, kUpdateCaption, kMbOk);
    if (m_quit) m_quit();
    return;
  }
  m_platform.shell.Execute(u"", updater, u"", u"", kSwHide);
  if (m_quit) m_quit();
}

bool SelfUpdate::SignatureChecks(const std::u16string& updater) {
  const std::u16string signature = updater + kSignatureSuffix;
  if (CheckSignatureFile(m_platform.files, updater, signature, m_publicKey) ==
      SignatureCheck::kGood) {
    return true;
  }
  // Missing, or left from an older updater: the server's signature of the updater it serves.
  DownloadWholeFile(m_platform,
                    m_toolServer + endpoints::kUpdaterPath + std::u16string(kSignatureSuffix),
                    signature);
  return CheckSignatureFile(m_platform.files, updater, signature, m_publicKey) ==
         SignatureCheck::kGood;
}

}  // namespace zeva
