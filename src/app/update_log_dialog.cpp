#include "app/update_log_dialog.h"

#include "res/resource_ids.h"
#include "zeva/endpoints.h"

namespace zeva {

CDialogVer::CDialogVer(IDialogFactory& factory, std::u16string toolServer,
                       ExternalDispatcher* external)
    : CSkinnedFrame(factory, res::kUpdateLogDialog,
                    {res::kPngUpdateLogBackground, 385, 260, u"更新日志"}),
      m_toolServer(std::move(toolServer)),
      m_external(external) {}

void CDialogVer::OnInitDialog() {
  CSkinnedFrame::OnInitDialog();
  View().CreateBrowser(2, 30, 381, 227, BrowserSite{true, m_external});
  View().Navigate(m_toolServer + endpoints::kUpdateListPath);
}

}  // namespace zeva
