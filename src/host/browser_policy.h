// What the client does about a browser's events, decided once for both browsers: which failed
// navigations show the client's own page, where a page's new window goes, and how a page's
// alert or confirmation looks. The ports translate their browser's codes and carry it out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/shell.h"

namespace zeva {

// Why a navigation of the top page failed, in words both browsers' codes translate into.
enum class NavigationFailure {
  kCannotConnect,  // no such host, refused, timed out, no network, the connection dropped
  kBadAddress,     // an address that cannot be fetched as written
  kCertificate,    // the server's certificate did not verify
  kHttpStatus,     // the server answered with an error page of its own
  kCancelled,      // stopped, or replaced by another navigation
  kOtherProgram,   // a scheme another program handles
  kNotShown,       // a download, or a type the browser does not show
  kUnknown,        // any other reason the page did not come
};

// Whether the client's own page ("the server cannot be reached") replaces the browser's
// handling. A server's error page is shown as it is; a navigation that was cancelled,
// handed to another program or turned into a download leaves the page that is showing.
bool ShowsErrorPage(NavigationFailure failure);

// A page asks for a new window (a link's target, window.open): it never gets one inside the
// client; a web address opens in the desktop's browser, anything else is dropped (the shell
// would run a file: program). True when the shell was asked.
bool OpenNewWindow(IShell& shell, std::u16string_view url);

enum class PageDialogKind { kAlert, kConfirm };

struct PageBox {
  std::u16string caption;
  uint32_t style = 0;  // kMb* buttons and icon
};

// The client's box for a page's alert or confirmation. The Internet Explorer control passes
// a caption and a type, which are shown as it passed them; WebKit passes neither, and gets
// what the Internet Explorer control passes (its caption when none is given; an alert's OK
// with the exclamation icon, a confirmation's OK and Cancel with the question icon).
PageBox PageMessageBox(PageDialogKind kind, std::u16string_view browserCaption = {},
                       std::optional<uint32_t> browserType = std::nullopt);

}  // namespace zeva
