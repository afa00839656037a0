#include "host/browser_policy.h"

#include "host/origin.h"
#include "host/page_texts.h"
#include "platform/dialogs.h"
#include "platform/window_system.h"

namespace zeva {

bool ShowsErrorPage(NavigationFailure failure) {
  switch (failure) {
    case NavigationFailure::kCannotConnect:
    case NavigationFailure::kBadAddress:
    case NavigationFailure::kCertificate:
    case NavigationFailure::kUnknown:
      return true;
    case NavigationFailure::kHttpStatus:
    case NavigationFailure::kCancelled:
    case NavigationFailure::kOtherProgram:
    case NavigationFailure::kNotShown:
      return false;
  }
  return true;
}

bool OpenNewWindow(IShell& shell, std::u16string_view url) {
  if (!IsWebAddress(url)) return false;
  shell.Execute(u"open", std::u16string(url), u"", u"", kSwShowNormal);
  return true;
}

PageBox PageMessageBox(PageDialogKind kind, std::u16string_view browserCaption,
                       std::optional<uint32_t> browserType) {
  PageBox box;
  box.caption = browserCaption.empty() ? kPageMessageCaption : std::u16string(browserCaption);
  if (browserType) {
    box.style = *browserType;
  } else {
    box.style =
        kind == PageDialogKind::kAlert ? kMbOk | kMbIconExclamation : kMbOkCancel | kMbIconQuestion;
  }
  return box;
}

}  // namespace zeva
