#include "download/download_dialog.h"

#include "download/download_path.h"
#include "download/whole_file_download.h"
#include "game/paths.h"
#include "platform/dialogs.h"
#include "res/resource_ids.h"
#include "ui/window_messages.h"
#include "ui/window_placement.h"

namespace zeva {

std::u16string DownloadTitle(std::u16string_view title) {
  if (title.empty()) return u"正在下载资源，请稍等";
  return u"正在下载 " + std::u16string(title) + u"，请稍等";
}

int DownloadPercent(uint64_t received, uint64_t total) {
  if (total == 0) return 0;
  // In floating point as the bar always was: no overflow for any size.
  return static_cast<int>(static_cast<double>(received) * 100.0 / static_cast<double>(total));
}

CDialogDown::CDialogDown(const Platform& platform, IDialogFactory& factory, DownloadRequest request,
                         InstallStep install)
    : CDialogBase(factory, res::kDownloadDialog),
      m_platform(platform),
      m_request(std::move(request)),
      m_install(std::move(install)) {}

CDialogDown::~CDialogDown() {
  // A window that never opened, or a run that ended without OnDestroy, still stops here.
  m_cancel.Cancel();
  if (m_worker.joinable()) m_worker.join();
}

std::u16string CDialogDown::TargetPath() const {
  return DownloadPath(m_request.clientFolder, m_request.fileName);
}

void CDialogDown::OnInitDialog() {
  IWindowView& view = View();
  view.SetTitle(DownloadTitle(m_request.title));
  CenterOverOwner(view);
  view.SetProgressRange(res::kDownloadProgress, 1, 100);
  view.SetProgressPos(res::kDownloadProgress, 0);
  {
    std::lock_guard lock(m_windowMutex);
    m_window = &view;
  }
  try {
    m_worker = std::thread(&CDialogDown::Work, this);
  } catch (const std::system_error&) {
    PostToWindow(kWmDownloadEnded, 0);  // said like any failed download
  }
}

void CDialogDown::Work() {
  const std::u16string target = TargetPath();
  // An installer already downloaded is used as it is.
  if (m_platform.files.GetAttributes(target)) {
    PostToWindow(kWmDownloadEnded, 1);
    return;
  }
  MakeDirectoryPath(m_platform, DownloadsFolderOf(m_request.clientFolder));
  int shown = 0;
  const DownloadResult result = DownloadWholeFile(
      m_platform, m_request.url, target,
      [&](uint64_t received, uint64_t total) {
        // One message per whole percent, not one per block.
        const int percent = DownloadPercent(received, total);
        if (percent == shown) return;
        shown = percent;
        PostToWindow(kWmDownloadProgress, static_cast<uintptr_t>(percent));
      },
      &m_cancel);
  if (result == DownloadResult::kCancelled) return;  // the window is closing
  PostToWindow(kWmDownloadEnded, result == DownloadResult::kDone ? 1 : 0);
}

void CDialogDown::PostToWindow(uint32_t message, uintptr_t wParam) {
  std::lock_guard lock(m_windowMutex);
  if (m_window) m_window->PostToSelf(message, wParam, 0);
}

intptr_t CDialogDown::OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmDownloadProgress:
      View().SetProgressPos(res::kDownloadProgress, static_cast<int>(wParam));
      return 0;
    case kWmDownloadEnded:
      if (wParam == 0) {
        // The window stays open; the player closes it. DownloadWholeFile left no file.
        View().ShowOwnedBox(kDownloadFailedText, GetApplicationName(m_platform),
                            kMbOk | kMbIconExclamation);
        return 0;
      }
      if (m_install) m_install(*this, TargetPath());
      EndDialog(kIdOk);
      return 0;
    default:
      return CDialogBase::OnMessage(message, wParam, lParam);
  }
}

void CDialogDown::OnDestroy() {
  {
    std::lock_guard lock(m_windowMutex);
    m_window = nullptr;
  }
  // Closing the window while it downloads cancels the download; the worker ends within
  // about a second and removes its partial file.
  m_cancel.Cancel();
  if (m_worker.joinable()) m_worker.join();
}

}  // namespace zeva
