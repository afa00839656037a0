// CDialogDown: the small window with a progress bar that fetches one installer into the
// client's Downloads folder on a worker thread, then hands over to its caller's
// installation step. No resume, no pause; it reports only to its own bar.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "ui/dialog_base.h"

namespace zeva {

inline constexpr char16_t kDownloadFailedText[] = u"下载出错";

// What the dialog fetches: `title` names it in the window's title, `fileName` is its name
// under `clientFolder` + "Downloads".
struct DownloadRequest {
  std::u16string title;
  std::u16string fileName;
  std::u16string clientFolder;
  std::u16string url;
};

// The window's title while it downloads.
std::u16string DownloadTitle(std::u16string_view title);
// The bar's position for `received` of `total` bytes: a whole percent, rounded down; 0 while
// the size is unknown.
int DownloadPercent(uint64_t received, uint64_t total);

class CDialogDown final : public CDialogBase {
 public:
  // Runs on the window's thread once the file is in place (the worker touches no window);
  // it may show boxes owned by the dialog, which closes when the step returns.
  using InstallStep = std::function<void(CDialogDown& dialog, const std::u16string& file)>;

  CDialogDown(const Platform& platform, IDialogFactory& factory, DownloadRequest request,
              InstallStep install);
  ~CDialogDown() override;

  // Where the file goes: client folder + "Downloads" + separator + file name.
  std::u16string TargetPath() const;

  void OnInitDialog() override;
  intptr_t OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void OnDestroy() override;

 private:
  void Work();
  // Posts to the window while it is open; after OnDestroy nothing reaches it.
  void PostToWindow(uint32_t message, uintptr_t wParam);

  const Platform& m_platform;
  const DownloadRequest m_request;
  InstallStep m_install;
  std::mutex m_windowMutex;
  IWindowView* m_window = nullptr;  // guarded by m_windowMutex
  DownloadCancel m_cancel;
  std::thread m_worker;
};

}  // namespace zeva
