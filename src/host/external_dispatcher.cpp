#include "host/external_dispatcher.h"

#include "app/login_record.h"
#include "download/archive_extractor.h"
#include "download/sha256.h"
#include "game/game_folder.h"
#include "game/paths.h"
#include "game/profile.h"
#include "host/origin.h"
#include "platform/unicode.h"
#include "ui/window_messages.h"
#include "zeva/endpoints.h"

namespace zeva {
namespace {

constexpr ParamType S = ParamType::kString;
constexpr ParamType I = ParamType::kInt32;
constexpr ParamType O = ParamType::kObject;

constexpr std::array<MethodInfo, kMethodCount> kMethods{{
    {u"GetVersion", {}, 0, ResultType::kInt32},
    {u"MoveWindow", {}, 0, ResultType::kNone},
    {u"GetMainWindow", {}, 0, ResultType::kInt32},
    {u"SendMessage", {I, I, I, I}, 4, ResultType::kInt32},
    {u"ShowPageWindow", {}, 0, ResultType::kNone},
    {u"GetParentWindow", {}, 0, ResultType::kInt32},
    {u"ShowWindow", {I, I}, 2, ResultType::kInt32},
    {u"MaxOrNormalWindow", {}, 0, ResultType::kNone},
    {u"DownloadFile", {S, S, I, I}, 4, ResultType::kInt32},
    {u"PauseDownload", {I, I}, 2, ResultType::kInt32},
    {u"SetCallBack", {O}, 1, ResultType::kInt32},
    {u"GetAppPath", {}, 0, ResultType::kString},
    {u"RunExe", {S}, 1, ResultType::kBool},
    {u"GetConfigString", {S, S, S}, 3, ResultType::kString},
    {u"SetConfigString", {S, S, S, S}, 4, ResultType::kInt32},
    {u"UnzipFile", {S, S}, 2, ResultType::kInt32},
    {u"DeleteFile", {S}, 1, ResultType::kInt32},
    {u"CopyFile", {S, S}, 2, ResultType::kInt32},
    {u"MoveFile", {S, S}, 2, ResultType::kInt32},
    {u"GetRegString", {I, S, S}, 3, ResultType::kString},
    {u"GetFilePath", {S}, 1, ResultType::kString},
    {u"web_IsClient", {}, 0, ResultType::kBool},
    {u"web_UserLogin", {S, S}, 2, ResultType::kBool},
    {u"web_UserLogout", {}, 0, ResultType::kBool},
    {u"web_OpenSetWnd", {}, 0, ResultType::kBool},
    {u"web_FindFolder", {}, 0, ResultType::kBool},
    {u"web_StartWndThread", {}, 0, ResultType::kBool},
    {u"web_UpdateBegin", {}, 0, ResultType::kBool},
    {u"web_UseThunder", {}, 0, ResultType::kBool},
    {u"GetFileSha256", {S}, 1, ResultType::kString},
    {u"GetDiskFreeSpace", {S}, 1, ResultType::kDouble},
    {u"GetDownloadedBytes", {I, I}, 2, ResultType::kDouble},
    {u"GetDownloadTotalBytes", {I, I}, 2, ResultType::kDouble},
    {u"GetDownloadSpeed", {I, I}, 2, ResultType::kDouble},
    {u"GetDownloadTimeLeft", {I, I}, 2, ResultType::kDouble},
}};

enum Method : int32_t {
  kGetVersion = 1,
  kMoveWindow,
  kGetMainWindow,
  kSendMessage,
  kShowPageWindow,
  kGetParentWindow,
  kShowWindow,
  kMaxOrNormalWindow,
  kDownloadFile,
  kPauseDownload,
  kSetCallBack,
  kGetAppPath,
  kRunExe,
  kGetConfigString,
  kSetConfigString,
  kUnzipFile,
  kDeleteFile,
  kCopyFile,
  kMoveFile,
  kGetRegString,
  kGetFilePath,
  kWebIsClient,
  kWebUserLogin,
  kWebUserLogout,
  kWebOpenSetWnd,
  kWebFindFolder,
  kWebStartWndThread,
  kWebUpdateBegin,
  kWebUseThunder,
  kGetFileSha256,
  kGetDiskFreeSpace,
  kGetDownloadedBytes,
  kGetDownloadTotalBytes,
  kGetDownloadSpeed,
  kGetDownloadTimeLeft,
};

constexpr size_t kConfigCapacity = 8192;

struct Arguments {
  std::array<std::u16string, 4> text;
  std::array<int32_t, 4> number{};
  std::shared_ptr<IScriptObject> object;
};

WindowHandle Ask(const std::function<WindowHandle()>& link) {
  return link ? link() : 0;
}

// Free bytes of an existing folder's volume; −1 for anything else (a missing folder, a file).
double FreeSpaceOf(const Platform& p, std::u16string_view folder) {
  const std::optional<uint32_t> attributes = p.files.GetAttributes(folder);
  if (folder.empty() || !attributes || !(*attributes & kAttrDirectory)) return -1;
  const std::optional<uint64_t> free = p.diskSpace.FreeBytes(folder);
  return free ? static_cast<double>(*free) : -1;
}

}  // namespace

const std::array<MethodInfo, kMethodCount>& MethodTable() {
  return kMethods;
}

int32_t FindMethod(std::u16string_view name) {
  for (size_t i = 0; i < kMethods.size(); ++i) {
    if (EqualsIgnoreCase(kMethods[i].name, name)) return static_cast<int32_t>(i + 1);
  }
  return 0;
}

ExternalDispatcher::ExternalDispatcher(const Platform& platform, PageRegistration& page,
                                       ScriptHostLinks links,
                                       std::vector<std::u16string> trustedOrigins)
    : m_platform(platform), m_page(page), m_links(std::move(links)) {
  m_trustedOrigins.push_back(OriginOf(endpoints::kToolServer));
  for (const std::u16string& origin : trustedOrigins) m_trustedOrigins.push_back(OriginOf(origin));
}

bool ExternalDispatcher::IsTrustedPage(std::u16string_view pageUrl) const {
  const std::u16string origin = OriginOf(pageUrl);
  if (origin.empty()) return false;
  for (const std::u16string& trusted : m_trustedOrigins) {
    if (origin == trusted) return true;
  }
  return false;
}

InvokeResult ExternalDispatcher::Invoke(int32_t dispId, std::span<const ScriptValue> args,
                                        std::u16string_view pageUrl) {
  InvokeResult result;
  if (dispId < 1 || dispId > kMethodCount) {
    result.error = kDispEMemberNotFound;
    return result;
  }
  // Pages from elsewhere (a link followed out of the portal, an injected frame) may not
  // touch files, settings or programs.
  if (!IsTrustedPage(pageUrl)) {
    result.error = kEAccessDenied;
    return result;
  }
  const MethodInfo& method = kMethods[static_cast<size_t>(dispId - 1)];
  if (args.size() < method.paramCount) {
    result.error = kDispEParamNotOptional;
    return result;
  }
  if (args.size() > method.paramCount) {
    result.error = kDispEBadParamCount;
    return result;
  }
  Arguments a;
  for (size_t i = 0; i < method.paramCount; ++i) {
    HResult error = kSOk;
    switch (method.params[i]) {
      case ParamType::kString: {
        Converted<std::u16string> converted = ConvertToString(args[i]);
        error = converted.error;
        a.text[i] = std::move(converted.value);
        break;
      }
      case ParamType::kInt32: {
        const Converted<int32_t> converted = ConvertToInt32(args[i]);
        error = converted.error;
        a.number[i] = converted.value;
        break;
      }
      case ParamType::kObject: {
        Converted<std::shared_ptr<IScriptObject>> converted = ConvertToObject(args[i]);
        error = converted.error;
        a.object = std::move(converted.value);
        break;
      }
    }
    if (error != kSOk) {
      result.error = error;
      result.argumentIndex = static_cast<uint32_t>(i);
      return result;
    }
  }

  const Platform& p = m_platform;
  int32_t number = 0;
  double real = 0;
  std::u16string text;
  switch (dispId) {
    case kGetVersion:
    case kWebIsClient:
      number = 1;
      break;
    case kMoveWindow:
      // The system move loop, as if the (absent) caption had been pressed; returns when the
      // mouse button is released.
      if (const WindowHandle host = Ask(m_links.hostWindow)) {
        p.windows.SendWindowMessage(host, kWmSysCommand, kScMoveFromCaption, 0);
      }
      break;
    case kGetMainWindow:
      number = static_cast<int32_t>(Ask(m_links.mainWindow));
      break;
    case kSendMessage:
      number = static_cast<int32_t>(p.windows.SendWindowMessage(
          static_cast<WindowHandle>(a.number[0]), static_cast<uint32_t>(a.number[1]),
          static_cast<uintptr_t>(static_cast<uint32_t>(a.number[2])),
          static_cast<intptr_t>(a.number[3])));
      break;
    case kShowPageWindow:
      break;
    case kGetParentWindow:
      number = static_cast<int32_t>(Ask(m_links.hostWindow));
      break;
    case kShowWindow:
      number = p.windows.SetShowState(static_cast<WindowHandle>(a.number[0]), a.number[1]);
      break;
    case kMaxOrNormalWindow:
      if (const WindowHandle host = Ask(m_links.hostWindow)) {
        p.windows.SetShowState(host, p.windows.IsMaximized(host) ? kSwShowNormal : kSwMaximize);
      }
      break;
    case kDownloadFile:
      number = m_links.downloadFile
                   ? m_links.downloadFile(a.text[0], a.text[1], a.number[2], a.number[3])
                   : 0;
      break;
    case kPauseDownload:
      number = m_links.pauseDownload ? m_links.pauseDownload(a.number[0], a.number[1]) : 0;
      break;
    case kSetCallBack:
      number = m_page.SetCallBack(a.object);
      break;
    case kGetAppPath:
      text = GetClientFolder(p);
      break;
    case kRunExe:
      number = p.shell.Execute(u"open", a.text[0], u"", u"", kSwShowNormal) ? 1 : 0;
      if (!number) {
        p.dialogs.ShowMessageBox(Ask(m_links.mainWindow), u"游戏运行失败，请检查游戏目录是否正确！",
                                 GetApplicationName(p), kMbOk | kMbIconExclamation);
      }
      break;
    case kGetConfigString:
      text = ProfileGetString(p, a.text[0], a.text[1], u"", kConfigCapacity, a.text[2]);
      break;
    case kSetConfigString:
      number = ProfileSetString(p, a.text[0], a.text[1], a.text[2], a.text[3]) ? 1 : 0;
      break;
    case kUnzipFile:
      number = UnzipFile(p, a.text[0], a.text[1]);
      break;
    case kDeleteFile:
      number = p.files.Remove(a.text[0]) ? 1 : 0;
      break;
    case kCopyFile:
      number = p.files.Copy(a.text[0], a.text[1]) ? 1 : 0;
      break;
    case kMoveFile:
      // One atomic replacing rename: a move that fails keeps the old target.
      number = p.files.Move(a.text[0], a.text[1]) ? 1 : 0;
      break;
    case kGetRegString:
      // Only the six predefined roots; any other code reads nothing.
      if (a.number[0] >= 0 && a.number[0] <= 5) {
        text = p.registry.ReadString(static_cast<RegistryRoot>(a.number[0]), a.text[1], a.text[2])
                   .value_or(u"");
      }
      break;
    case kGetFilePath:
      if (p.files.FindFirst(a.text[0])) text = GetFolderPart(a.text[0], true);
      break;
    case kWebUserLogin:
      number = WebUserLogin(p, a.text[0], a.text[1]) ? 1 : 0;
      break;
    case kWebUserLogout:
      number = WebUserLogout(p) ? 1 : 0;
      break;
    case kWebFindFolder:
      number = WebFindFolder(p, Ask(m_links.browserWindow)) ? 1 : 0;
      break;
    case kWebOpenSetWnd:
    case kWebStartWndThread:
    case kWebUpdateBegin:
    case kWebUseThunder: {
      // Carried out later by the main window's message loop; other hosts ignore them.
      const uint32_t request = dispId == kWebOpenSetWnd       ? kWmOpenSettings
                               : dispId == kWebStartWndThread ? kWmStartWindowMode
                               : dispId == kWebUpdateBegin    ? kWmUpdateCheck
                                                              : kWmAccelerator;
      if (const WindowHandle host = Ask(m_links.hostWindow)) {
        p.windows.PostWindowMessage(host, request, 0, 0);
      }
      number = 1;
      break;
    }
    case kGetFileSha256:
      // Read through to the end on this thread: the page waits for the digest.
      text = Utf8ToUtf16(Sha256OfFile(p.files, a.text[0]).value_or(""));
      break;
    case kGetDiskFreeSpace:
      real = FreeSpaceOf(p, a.text[0]);
      break;
    case kGetDownloadedBytes:
    case kGetDownloadTotalBytes:
    case kGetDownloadSpeed:
    case kGetDownloadTimeLeft: {
      const TransferFigures figures =
          m_links.transferFigures
              ? m_links.transferFigures(a.number[0], a.number[1]).value_or(TransferFigures{})
              : TransferFigures{};
      real = dispId == kGetDownloadedBytes      ? figures.bytesDone
             : dispId == kGetDownloadTotalBytes ? figures.bytesTotal
             : dispId == kGetDownloadSpeed      ? figures.bytesPerSecond
                                                : figures.secondsLeft;
      break;
    }
    default:
      break;
  }

  switch (method.result) {
    case ResultType::kNone:
      break;
    case ResultType::kInt32:
      result.value = ScriptValue::Int32(number);
      break;
    case ResultType::kBool:
      result.value = ScriptValue::Boolean(number != 0);
      break;
    case ResultType::kString:
      result.value = ScriptValue::String(std::move(text));
      break;
    case ResultType::kDouble:
      result.value = ScriptValue::Double(real);
      break;
  }
  return result;
}

}  // namespace zeva
