#include "app/about_dialog.h"

#include "app/client_identity.h"
#include "platform/dialogs.h"
#include "res/resource_ids.h"
#include "zeva/endpoints.h"

namespace zeva {

CDialogAbout::CDialogAbout(IDialogFactory& factory)
    : CSkinnedFrame(factory, res::kAboutDialog, {res::kPngAboutBackground, 350, 150, u"关于我们"}) {
}

void CDialogAbout::OnInitDialog() {
  CSkinnedFrame::OnInitDialog();
  IWindowView& view = View();
  view.SetControlText(res::kAboutText, AboutText());
  TextStyle text;
  text.colour = kAboutTextColour;
  text.transparent = true;
  view.SetTextStyle(res::kAboutText, text);
  view.SetButtonImage(kIdOk, res::kPngOk);
  view.MoveControl(kIdOk, 145, 115, 61, 21);
}

std::u16string AboutText() {
  return std::u16string(endpoints::kGameSite) + u"\r\n主程序 CF泽瓦助手   " + kClientVersion +
         u"\r\n" + endpoints::kRightsNotice;
}

}  // namespace zeva
