#include "app/update_log_dialog.h"

#include "res/resource_ids.h"
#include "zeva/endpoints.h"

namespace zeva {

CDialogVer::CDialogVer(IDialogFactory& factory, std::u16string toolServer)
    : CSkinnedFrame(factory, res::kUpdateLogDialog,
                    {res::kPngUpdateLogBackground, 385, 260, u"更新日志"}),
      m_toolServer(std::move(toolServer)) {}

void CDialogVer::OnInitDialog() {
  CSkinnedFrame::OnInitDialog();
  // The list is a plain page: no window.external, so nothing it might post reaches a window.
  View().CreateBrowser(2, 30, 381, 227, BrowserSite{true, nullptr});
  View().Navigate(m_toolServer + endpoints::kUpdateListPath);
}

}  // namespace zeva
