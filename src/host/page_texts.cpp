#include "host/page_texts.h"

#include "host/origin.h"

namespace zeva {
namespace {

std::u16string EscapeHtml(std::u16string_view text) {
  std::u16string escaped;
  escaped.reserve(text.size());
  for (const char16_t c : text) {
    switch (c) {
      case u'<':
        escaped += u"&lt;";
        break;
      case u'>':
        escaped += u"&gt;";
        break;
      case u'&':
        escaped += u"&amp;";
        break;
      case u'"':
        escaped += u"&quot;";
        break;
      case u'\'':
        escaped += u"&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::u16string LoadErrorPage(std::u16string_view address) {
  const std::u16string escaped = EscapeHtml(address);
  // The portal's address carries the player's identity: the page names the server only.
  const std::u16string server = EscapeHtml(OriginOf(address));
  return u"<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>无法打开页面</title>"
         u"<style>body{margin:0;background:#1d232c;color:#d8e0e8;font:14px sans-serif;}"
         u"div{margin:120px auto;width:460px;text-align:center}h1{font-size:20px;color:#e8a23a}"
         u"a{color:#fff;background:#2f7fc1;padding:6px 22px;border-radius:4px;"
         u"text-decoration:none}p{color:#8a98a8;word-break:break-all}</style></head><body><div>"
         u"<h1>暂时无法连接到助手服务器</h1><p>请检查网络连接后重试。<br>" +
         server + u"</p><a href=\"" + escaped + u"\">重试</a></div></body></html>";
}

}  // namespace zeva
