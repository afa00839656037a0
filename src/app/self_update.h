// The hand-over to the updater program: the client makes sure KIVOUpdate.exe is in its folder
// (fetching it from the tool server when it is missing), checks its signature, starts it
// hidden and ends, so the updater can replace its files. The client compares no versions;
// the page decides.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"
#include "zeva/endpoints.h"

namespace zeva {

inline constexpr char16_t kUpdaterName[] = u"KIVOUpdate.exe";
inline constexpr char16_t kUpdateCaption[] = u"更新";
inline constexpr char16_t kUpdateQuestion[] = u"发现服务器有新版本，是否升级？";
inline constexpr char16_t kUpdaterDownloadFailed[] = u"更新工具下载失败!";
inline constexpr char16_t kUpdaterCheckFailed[] = u"更新工具校验失败，已删除，请稍后重试。";

class SelfUpdate {
 public:
  // `owner` is the main window, which owns the boxes; `quit` ends its run after the current
  // message (posted, so the update returns first). `publicKey`: the minisign public key
  // (its base64 line) the updater's signature must be made with.
  SelfUpdate(const Platform& platform, std::u16string toolServer,
             std::function<WindowHandle()> owner, std::function<void()> quit,
             std::string publicKey = endpoints::kUpdaterPublicKey);

  // The page's request (message 2028): straight to Start when "autoupdate" is "1", else
  // only when the player says yes.
  void Check();
  // The update button and "检查更新": never ask. The client ends in every case, also when
  // the updater could neither be fetched nor started. An updater whose signature is missing
  // or does not check out is deleted with its signature and never started.
  void Start();

 private:
  bool SignatureChecks(const std::u16string& updater);

  const Platform& m_platform;
  std::u16string m_toolServer;
  std::function<WindowHandle()> m_owner;
  std::function<void()> m_quit;
  std::string m_publicKey;
};

}  // namespace zeva
