// window.external: the methods pages call by name (the client's 29, then the add-on checks),
// their argument conversion and the refusals, for both browsers. The ports only translate
// their browser's calls into Invoke.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "download/transfer_rate.h"
#include "host/page_registration.h"
#include "host/script_value.h"
#include "platform/platform.h"

namespace zeva {

enum class ParamType : uint8_t { kString, kInt32, kObject };
// kDouble: a JavaScript number, exact for integers up to 2^53 (byte counts past 2^31).
enum class ResultType : uint8_t { kNone, kInt32, kBool, kString, kDouble };

struct MethodInfo {
  std::u16string_view name;
  std::array<ParamType, 4> params;
  uint8_t paramCount;
  ResultType result;
};

inline constexpr int32_t kMethodCount = 35;

// The methods in dispatch order: identifier = position + 1.
const std::array<MethodInfo, kMethodCount>& MethodTable();
// The dispatch identifier (1-35) of a name, letter case ignored; 0 when unknown.
int32_t FindMethod(std::u16string_view name);

struct InvokeResult {
  HResult error = kSOk;
  // For conversion errors: the failing argument's position in script order (0 = first).
  uint32_t argumentIndex = 0;
  ScriptValue value;
};

// What the browser control's surroundings and the other subsystems provide. Missing
// engines make their methods answer 0 (failure), never a pretended success.
struct ScriptHostLinks {
  std::function<WindowHandle()> hostWindow;     // the control's parent, asked at each call
  std::function<WindowHandle()> mainWindow;     // the application's main window
  std::function<WindowHandle()> browserWindow;  // owner of the folder picker
  std::function<int32_t(std::u16string_view url, std::u16string_view name, int32_t a, int32_t b)>
      downloadFile;
  std::function<int32_t(int32_t a, int32_t b)> pauseDownload;
  // The figures of the download of key (a, b); nothing when the key has none.
  std::function<std::optional<TransferFigures>(int32_t a, int32_t b)> transferFigures;
};

class ExternalDispatcher {
 public:
  // `trustedOrigins`: origins besides the tool server's whose pages may call (the port's own
  // built-in pages).
  ExternalDispatcher(const Platform& platform, PageRegistration& page, ScriptHostLinks links,
                     std::vector<std::u16string> trustedOrigins = {});

  // Calls method `dispId` with the arguments in script order for a page at `pageUrl`.
  InvokeResult Invoke(int32_t dispId, std::span<const ScriptValue> args,
                      std::u16string_view pageUrl);

  bool IsTrustedPage(std::u16string_view pageUrl) const;

 private:
  const Platform& m_platform;
  PageRegistration& m_page;
  ScriptHostLinks m_links;
  std::vector<std::u16string> m_trustedOrigins;
};

}  // namespace zeva
