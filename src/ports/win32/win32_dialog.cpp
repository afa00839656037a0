#include "ports/win32/win32_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/dialogs.h"
#include "ports/win32/dialog_template_builder.h"
#include "ports/win32/wide.h"
#include "ports/win32/win32_system.h"
#include "res/resource_ids.h"
#include "ui/png_button.h"
#include "ui/window_messages.h"

namespace zeva::win32 {
namespace {

// Marks the windows of this class, so the message loop finds the dialog of any message.
constexpr wchar_t kSelfProperty[] = L"ZevaTemplateDialog";
// The dialog manager's own messages (DM_GETDEFID, DM_SETDEFID, DM_REPOSITION) come first in
// the WM_USER range; registered messages start at 0xC000.
constexpr UINT kFirstOwnMessage = DM_REPOSITION + 1;
constexpr UINT kFirstRegisteredMessage = 0xC000;
constexpr WORD kAcceleratorNotification = 1;

HWND ToHwnd(WindowHandle handle) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool HasClass(HWND window, const wchar_t* className) {
  wchar_t name[32] = {};
  ::GetClassNameW(window, name, 32);
  return ::lstrcmpiW(name, className) == 0;
}

RECT RectInParent(HWND control) {
  RECT place;
  ::GetWindowRect(control, &place);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

// A memory bitmap to paint into, copied to the target in one go (no flicker).
class OffscreenPaint {
 public:
  OffscreenPaint(HDC target, int width, int height)
      : m_target(target),
        m_width(width),
        m_height(height),
        m_dc(::CreateCompatibleDC(target)),
        m_bitmap(::CreateCompatibleBitmap(target, width, height)),
        m_old(::SelectObject(m_dc, m_bitmap)) {}
  ~OffscreenPaint() {
    ::SelectObject(m_dc, m_old);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
  }
  OffscreenPaint(const OffscreenPaint&) = delete;
  OffscreenPaint& operator=(const OffscreenPaint&) = delete;
  HDC dc() const { return m_dc; }
  void CopyTo(int x, int y) const {
    ::BitBlt(m_target, x, y, m_width, m_height, m_dc, 0, 0, SRCCOPY);
  }

 private:
  HDC m_target;
  int m_width, m_height;
  HDC m_dc;
  HBITMAP m_bitmap;
  HGDIOBJ m_old;
};

// An owner-drawn button that has no strip still shows as a push button with its text.
void DrawPlainButton(HDC dc, const DRAWITEMSTRUCT& item, HFONT font, int width, int height) {
  RECT box{0, 0, width, height};
  UINT state = DFCS_BUTTONPUSH;
  if (item.itemState & ODS_SELECTED) state |= DFCS_PUSHED;
  if (item.itemState & ODS_DISABLED) state |= DFCS_INACTIVE;
  ::DrawFrameControl(dc, &box, DFC_BUTTON, state);
  const HGDIOBJ oldFont = ::SelectObject(dc, font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(item.itemState & ODS_DISABLED ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  const std::wstring text = WindowText(item.hwndItem);
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  ::SelectObject(dc, oldFont);
  if (item.itemState & ODS_FOCUS) {
    ::InflateRect(&box, -3, -3);
    ::DrawFocusRect(dc, &box);
  }
}

HMENU BuildPopupMenu(const res::MenuTemplate& menu, const std::map<int, std::u16string>& texts) {
  const HMENU popup = ::CreatePopupMenu();
  for (const res::MenuItem& item : menu.items) {
    if (item.command == 0) {
      ::AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const auto text = texts.find(item.command);
    const std::wstring label = Wide(text != texts.end() ? text->second : item.text);
    ::AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(item.command), label.c_str());
  }
  return popup;
}

}  // namespace

Win32TemplateDialog::Win32TemplateDialog(const res::DialogTemplate& dialog, WindowHandle owner,
                                         IDialogEvents& events, Win32BrowserFactory browserFactory)
    : m_template(dialog),
      m_owner(ToHwnd(owner)),
      m_events(events),
      m_browserFactory(std::move(browserFactory)) {}

Win32TemplateDialog::~Win32TemplateDialog() {
  RemoveTrayIcon();
  m_browser.reset();
  if (m_window) ::DestroyWindow(m_window);
  m_window = nullptr;
  m_buttons.clear();
  for (auto& [control, style] : m_labelStyles) {
    if (style.font) ::DeleteObject(style.font);
    if (style.back) ::DeleteObject(style.back);
  }
  if (m_unnamedStyle && m_unnamedStyle->font) ::DeleteObject(m_unnamedStyle->font);
  if (m_unnamedStyle && m_unnamedStyle->back) ::DeleteObject(m_unnamedStyle->back);
  ReplaceIcons(nullptr, nullptr);
  FreeBackgroundBrush();
}

Win32TemplateDialog* Win32TemplateDialog::FromWindow(HWND window) {
  return static_cast<Win32TemplateDialog*>(::GetPropW(window, kSelfProperty));
}

bool Win32TemplateDialog::Create() {
  if (m_window) return false;
  m_ended = false;
  m_result = -1;
  m_templateBytes = BuildDialogTemplate(m_template);
  return ::CreateDialogIndirectParamW(
             ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(m_templateBytes.data()),
             m_owner, &DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool Win32TemplateDialog::PreTranslate(MSG& message) {
  const HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  Win32TemplateDialog* dialog = root ? FromWindow(root) : nullptr;
  if (!dialog) return false;
  if (dialog->m_browser) {
    const HWND browser = dialog->m_browser->Window();
    if (browser && (message.hwnd == browser || ::IsChild(browser, message.hwnd)) &&
        dialog->m_browser->PreTranslateMessage(&message)) {
      return true;
    }
  }
  return ::IsDialogMessageW(root, &message) != FALSE;
}

int Win32TemplateDialog::RunModal() {
  m_modal = true;
  if (!Create()) {
    m_modal = false;
    return -1;
  }
  // As the system's modal dialogs do: the owner takes no input while this one runs.
  const bool ownerDisabled = m_owner && ::IsWindowEnabled(m_owner);
  if (ownerDisabled) ::EnableWindow(m_owner, FALSE);
  if (!m_ended) ::ShowWindow(m_window, SW_SHOW);
  MSG message;
  while (!m_ended && m_window) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // The process is ending (the self-update posts it): the outer loops must see it too.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got == -1) break;
    if (!PreTranslate(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  m_modal = false;
  // The owner first, so that activation returns to it when this window hides.
  if (ownerDisabled) ::EnableWindow(m_owner, TRUE);
  if (m_window) {
    const bool wasActive = ::GetActiveWindow() == m_window;
    ::SetWindowPos(m_window, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    if (wasActive && m_owner) ::SetForegroundWindow(m_owner);
  }
  return m_ended ? m_result : -1;
}

bool Win32TemplateDialog::ShowModeless() {
  m_modal = false;
  if (!Create()) return false;
  if (!m_ended) ::ShowWindow(m_window, SW_SHOW);
  return true;
}

INT_PTR CALLBACK Win32TemplateDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  Win32TemplateDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Win32TemplateDialog*>(lParam);
    self->m_window = window;
    ::SetPropW(window, kSelfProperty, self);
  } else {
    self = FromWindow(window);
  }
  return self ? self->OnDialogMessage(message, wParam, lParam) : FALSE;
}

INT_PTR Win32TemplateDialog::OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // Handlers may end this object (a modeless window closed by its class): the window's
  // handle is all that is used after them.
  const HWND window = m_window;
  switch (message) {
    case WM_INITDIALOG:
      m_focusChosen = false;
      m_events.OnInitDialog();
      return m_focusChosen ? FALSE : TRUE;
    case WM_COMMAND: {
      // Clicks, menu items and accelerators; edit-box notifications are no commands.
      const WORD code = HIWORD(wParam);
      if (code != BN_CLICKED && code != kAcceleratorNotification) return FALSE;
      m_events.OnCommand(LOWORD(wParam));
      return TRUE;
    }
    case WM_CLOSE:
      m_events.OnCommand(IDCANCEL);
      return TRUE;
    case WM_SHOWWINDOW:
      m_events.OnMessage(kWmShowWindow, wParam, 0);
      return FALSE;
    case WM_NCHITTEST:
      ::SetWindowLongPtrW(window, DWLP_MSGRESULT, HitTest(wParam, lParam));
      return TRUE;
    case WM_ERASEBKGND:
      if (!EraseBackground(reinterpret_cast<HDC>(wParam))) return FALSE;
      ::SetWindowLongPtrW(window, DWLP_MSGRESULT, 1);
      return TRUE;
    case WM_DRAWITEM:
      return DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_CTLCOLORSTATIC:
      return ColourLabel(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NCDESTROY:
      ::RemovePropW(window, kSelfProperty);
      m_window = nullptr;
      return FALSE;
    default:
      break;
  }
  if (message < kFirstOwnMessage || message >= kFirstRegisteredMessage) return FALSE;
  const intptr_t result = m_events.OnMessage(message, wParam, lParam);
  if (::IsWindow(window)) ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

LRESULT Win32TemplateDialog::HitTest(WPARAM wParam, LPARAM lParam) {
  const LRESULT standard = ::DefWindowProcW(m_window, WM_NCHITTEST, wParam, lParam);
  if (standard != HTCLIENT) return standard;
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  ::ScreenToClient(m_window, &point);
  const int hit = m_events.OnHitTest(kHitClient, point.x, point.y);
  return hit == kHitCaption ? HTCAPTION : HTCLIENT;
}

bool Win32TemplateDialog::EraseBackground(HDC dc) {
  if (!m_background) return false;
  RECT client;
  ::GetClientRect(m_window, &client);
  // The page covers its part of the window: no picture flashing under it.
  if (m_browser && m_browser->Window()) {
    const RECT page = RectInParent(m_browser->Window());
    ::ExcludeClipRect(dc, page.left, page.top, page.right, page.bottom);
  }
  OffscreenPaint paint(dc, client.right, client.bottom);
  ::FillRect(paint.dc(), &client, ::GetSysColorBrush(COLOR_3DFACE));
  m_background->Draw(paint.dc(), 0, 0);
  paint.CopyTo(0, 0);
  return true;
}

void Win32TemplateDialog::PaintBackgroundBehind(HDC dc, HWND control, int width, int height) const {
  const RECT area{0, 0, width, height};
  ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_3DFACE));
  if (!m_background) return;
  POINT origin{0, 0};
  ::MapWindowPoints(control, m_window, &origin, 1);
  m_background->DrawArea(dc, 0, 0, origin.x, origin.y, width, height);
}

bool Win32TemplateDialog::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_BUTTON && item.CtlType != ODT_STATIC) return false;
  const int id = static_cast<int>(item.CtlID);
  const int width = item.rcItem.right - item.rcItem.left;
  const int height = item.rcItem.bottom - item.rcItem.top;
  OffscreenPaint paint(item.hDC, width, height);
  // Transparent pixels of a strip or picture show the window's picture.
  PaintBackgroundBehind(paint.dc(), item.hwndItem, width, height);
  if (item.CtlType == ODT_STATIC) {
    const auto picture = m_pictures.find(id);
    if (picture != m_pictures.end() && picture->second) picture->second->Draw(paint.dc(), 0, 0);
  } else {
    const auto button = m_buttons.find(id);
    if (button != m_buttons.end() && button->second->Strip()) {
      button->second->Strip()->DrawFrame(paint.dc(), button->second->Frame(), 0, 0);
    } else {
      const auto font = reinterpret_cast<HFONT>(::SendMessageW(m_window, WM_GETFONT, 0, 0));
      DrawPlainButton(paint.dc(), item, font, width, height);
    }
  }
  paint.CopyTo(item.rcItem.left, item.rcItem.top);
  return true;
}

const Win32TemplateDialog::LabelStyle* Win32TemplateDialog::StyleOf(HWND control) const {
  const auto styled = m_labelStyles.find(control);
  if (styled != m_labelStyles.end()) return &styled->second;
  if (m_unnamedStyle && ::GetDlgCtrlID(control) == res::kNoId &&
      (HasClass(control, L"Static") || HasClass(control, L"Button"))) {
    return m_unnamedStyle.get();
  }
  // A control no window names keeps the system's colours.
  return nullptr;
}

INT_PTR Win32TemplateDialog::ColourLabel(HDC dc, HWND control) {
  const LabelStyle* style = StyleOf(control);
  if (!style) return FALSE;
  ::SetTextColor(dc, style->colour);
  if (style->transparent) {
    ::SetBkMode(dc, TRANSPARENT);
    const bool groupBox = (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX &&
                          HasClass(control, L"Button");
    if (groupBox && m_backgroundBrush) {
      // The label's background is the picture itself, aligned with the window's.
      const RECT place = RectInParent(control);
      ::SetBrushOrgEx(dc, -place.left, -place.top, nullptr);
      return reinterpret_cast<INT_PTR>(m_backgroundBrush);
    }
    return reinterpret_cast<INT_PTR>(::GetStockObject(HOLLOW_BRUSH));
  }
  if (style->back) {
    LOGBRUSH brush{};
    ::GetObjectW(style->back, sizeof brush, &brush);
    ::SetBkColor(dc, brush.lbColor);
    return reinterpret_cast<INT_PTR>(style->back);
  }
  ::SetBkColor(dc, ::GetSysColor(COLOR_3DFACE));
  return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_3DFACE));
}

void Win32TemplateDialog::RedrawWithBackground(HWND control) const {
  const LabelStyle* style = StyleOf(control);
  if (!style || !style->transparent) {
    ::InvalidateRect(control, nullptr, TRUE);
    return;
  }
  const RECT place = RectInParent(control);
  ::RedrawWindow(m_window, &place, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HWND Win32TemplateDialog::Control(int id) const {
  return m_window && id != res::kNoId ? ::GetDlgItem(m_window, id) : nullptr;
}

WindowHandle Win32TemplateDialog::Handle() const {
  return static_cast<WindowHandle>(reinterpret_cast<uintptr_t>(m_window));
}

void Win32TemplateDialog::SetTitle(const std::u16string& title) {
  if (m_window) ::SetWindowTextW(m_window, Wide(title).c_str());
}

void Win32TemplateDialog::SetBounds(int x, int y, int width, int height) {
  if (m_window) {
    ::SetWindowPos(m_window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

ScreenRect Win32TemplateDialog::Bounds() {
  RECT own{};
  if (m_window) ::GetWindowRect(m_window, &own);
  return {own.left, own.top, own.right - own.left, own.bottom - own.top};
}

std::optional<ScreenRect> Win32TemplateDialog::ShownOwnerBounds() {
  // A minimised window's rectangle is off the screen (-32000): it is no place to be over.
  if (!m_owner || !::IsWindow(m_owner) || !::IsWindowVisible(m_owner) || ::IsIconic(m_owner)) {
    return std::nullopt;
  }
  RECT area{};
  ::GetWindowRect(m_owner, &area);
  return ScreenRect{area.left, area.top, area.right - area.left, area.bottom - area.top};
}

ScreenRect Win32TemplateDialog::WorkArea() {
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return {area.left, area.top, area.right - area.left, area.bottom - area.top};
}

void Win32TemplateDialog::SetCaptionless() {
  if (!m_window) return;
  const LONG_PTR style = ::GetWindowLongPtrW(m_window, GWL_STYLE);
  ::SetWindowLongPtrW(m_window, GWL_STYLE, (style & ~LONG_PTR{WS_CAPTION}) | WS_MINIMIZEBOX);
  ::SetWindowPos(m_window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void Win32TemplateDialog::FreeBackgroundBrush() {
  if (m_backgroundBrush) ::DeleteObject(m_backgroundBrush);
  if (m_backgroundBitmap) ::DeleteObject(m_backgroundBitmap);
  m_backgroundBrush = nullptr;
  m_backgroundBitmap = nullptr;
}

void Win32TemplateDialog::SetBackground(int pngResource) {
  m_background = SkinPicture::Load(pngResource);
  FreeBackgroundBrush();
  if (m_background) {
    const COLORREF face = ::GetSysColor(COLOR_3DFACE);
    m_backgroundBitmap = m_background->CreateBitmap((GetRValue(face) << 16) |
                                                    (GetGValue(face) << 8) | GetBValue(face));
    if (m_backgroundBitmap) m_backgroundBrush = ::CreatePatternBrush(m_backgroundBitmap);
  }
  if (m_window) {
    ::RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
}

void Win32TemplateDialog::ReplaceIcons(HICON bigIcon, HICON smallIcon) {
  if (m_window) {
    ::SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    ::SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  }
  if (m_bigIcon) ::DestroyIcon(m_bigIcon);
  if (m_smallIcon) ::DestroyIcon(m_smallIcon);
  m_bigIcon = bigIcon;
  m_smallIcon = smallIcon;
}

void Win32TemplateDialog::SetIcon(int iconResource) {
  ReplaceIcons(LoadSkinIcon(iconResource, ::GetSystemMetrics(SM_CXICON)),
               LoadSkinIcon(iconResource, ::GetSystemMetrics(SM_CXSMICON)));
}

void Win32TemplateDialog::MoveControl(int id, int x, int y, int width, int height) {
  const HWND control = Control(id);
  if (!control) return;
  ::MoveWindow(control, x, y, width, height, TRUE);
  RedrawWithBackground(control);
}

void Win32TemplateDialog::ShowControl(int id, bool shown) {
  if (const HWND control = Control(id)) ::ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
}

void Win32TemplateDialog::EnableControl(int id, bool enabled) {
  if (const HWND control = Control(id)) ::EnableWindow(control, enabled ? TRUE : FALSE);
}

void Win32TemplateDialog::SetControlText(int id, const std::u16string& text) {
  const HWND control = Control(id);
  if (!control) return;
  ::SetWindowTextW(control, Wide(text).c_str());
  RedrawWithBackground(control);
}

std::u16string Win32TemplateDialog::GetControlText(int id) {
  const HWND control = Control(id);
  return control ? FromWide(WindowText(control)) : std::u16string();
}

void Win32TemplateDialog::SetTextStyle(int id, const TextStyle& style) {
  if (!m_window) return;
  if (id == res::kNoId) {
    // Every label and group box without an id of its own.
    if (!m_unnamedStyle) m_unnamedStyle = std::make_unique<LabelStyle>();
    ApplyStyle(nullptr, *m_unnamedStyle, style);
    for (HWND child = ::GetWindow(m_window, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      if (::GetDlgCtrlID(child) != res::kNoId) continue;
      ::SendMessageW(child, WM_SETFONT,
                     reinterpret_cast<WPARAM>(
                         m_unnamedStyle->font
                             ? m_unnamedStyle->font
                             : reinterpret_cast<HFONT>(::SendMessageW(m_window, WM_GETFONT, 0, 0))),
                     FALSE);
      RedrawWithBackground(child);
    }
    return;
  }
  const HWND control = Control(id);
  if (!control) return;
  ApplyStyle(control, m_labelStyles[control], style);
}

void Win32TemplateDialog::ApplyStyle(HWND control, LabelStyle& label, const TextStyle& style) {
  const auto rgb = [](uint32_t colour) {
    return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
  };
  label.colour = rgb(style.colour);
  label.transparent = style.transparent;
  if (label.back) ::DeleteObject(label.back);
  label.back = style.transparent ? nullptr : ::CreateSolidBrush(rgb(style.backColour));

  // The window's font, changed where the style asks.
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(m_window, WM_GETFONT, 0, 0));
  const bool ownFont =
      !style.fontName.empty() || style.fontPoints > 0 || style.bold || style.underline;
  if (ownFont) {
    LOGFONTW description{};
    ::GetObjectW(font ? font : ::GetStockObject(DEFAULT_GUI_FONT), sizeof description,
                 &description);
    if (!style.fontName.empty()) {
      const std::wstring name = Wide(style.fontName).substr(0, LF_FACESIZE - 1);
      std::copy(name.begin(), name.end(), description.lfFaceName);
      description.lfFaceName[name.size()] = L'\0';
    }
    if (style.fontPoints > 0) {
      const HDC screen = ::GetDC(nullptr);
      description.lfHeight = -::MulDiv(style.fontPoints, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
      ::ReleaseDC(nullptr, screen);
      description.lfWidth = 0;
    }
    if (style.bold) description.lfWeight = FW_BOLD;
    description.lfUnderline = style.underline ? TRUE : FALSE;
    font = ::CreateFontIndirectW(&description);
  }
  if (label.font) ::DeleteObject(label.font);
  label.font = ownFont ? font : nullptr;
  if (!control) return;
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  RedrawWithBackground(control);
}

void Win32TemplateDialog::SetButtonImage(int id, int pngResource) {
  const HWND button = Control(id);
  if (!button) return;
  std::unique_ptr<ImageButton>& image = m_buttons[id];
  if (!image) image = std::make_unique<ImageButton>(button);
  image->SetStrip(SkinPicture::Load(pngResource));
}

void Win32TemplateDialog::SetPicture(int id, int pngResource) {
  const HWND control = Control(id);
  if (!control) return;
  // The label paints the picture through WM_DRAWITEM, at the picture's own size.
  const LONG_PTR style = ::GetWindowLongPtrW(control, GWL_STYLE);
  ::SetWindowLongPtrW(control, GWL_STYLE, (style & ~LONG_PTR{SS_TYPEMASK}) | SS_OWNERDRAW);
  std::unique_ptr<SkinPicture>& picture = m_pictures[id];
  picture = SkinPicture::Load(pngResource);
  if (picture) {
    ::SetWindowPos(control, nullptr, 0, 0, picture->Width(), picture->Height(),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::ShowWindow(control, SW_SHOW);
  ::InvalidateRect(control, nullptr, FALSE);
}

void Win32TemplateDialog::UncheckGroupSiblings(HWND radio) const {
  // A group runs from a control with WS_GROUP to the next one, in creation order.
  HWND first = radio;
  while (!(::GetWindowLongW(first, GWL_STYLE) & WS_GROUP)) {
    const HWND previous = ::GetWindow(first, GW_HWNDPREV);
    if (!previous) break;
    first = previous;
  }
  for (HWND sibling = first; sibling; sibling = ::GetWindow(sibling, GW_HWNDNEXT)) {
    const LONG style = ::GetWindowLongW(sibling, GWL_STYLE);
    if (sibling != first && (style & WS_GROUP)) break;
    if (sibling != radio && (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
        HasClass(sibling, L"Button")) {
      ::SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
}

void Win32TemplateDialog::SetCheck(int id, bool checked) {
  const HWND control = Control(id);
  if (!control) return;
  ::SendMessageW(control, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  // Setting a radio button leaves one checked per group, as a click does.
  if (checked && (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) {
    UncheckGroupSiblings(control);
  }
}

bool Win32TemplateDialog::IsChecked(int id) {
  const HWND control = Control(id);
  return control && ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32TemplateDialog::SetProgressRange(int id, int low, int high) {
  if (const HWND control = Control(id)) ::SendMessageW(control, PBM_SETRANGE32, low, high);
}

void Win32TemplateDialog::SetProgressPos(int id, int position) {
  if (const HWND control = Control(id)) ::SendMessageW(control, PBM_SETPOS, position, 0);
}

int Win32TemplateDialog::FocusedControl() {
  HWND focus = ::GetFocus();
  if (!m_window || !focus || !::IsChild(m_window, focus)) return 0;
  // Inside a control made of windows (the page), the control itself.
  while (::GetParent(focus) != m_window) focus = ::GetParent(focus);
  return ::GetDlgCtrlID(focus);
}

void Win32TemplateDialog::SetFocusedControl(int id) {
  if (!m_window) return;
  const HWND control = id == res::kBrowserArea && m_browser ? m_browser->Window() : Control(id);
  if (!control) return;
  ::SetFocus(control);
  m_focusChosen = true;  // the dialog manager keeps it instead of the first tab stop
}

bool Win32TemplateDialog::IsVisible() {
  return m_window && ::IsWindowVisible(m_window);
}

void Win32TemplateDialog::Show(int showCommand) {
  if (m_window) ::ShowWindow(m_window, showCommand);
}

void Win32TemplateDialog::SetForeground() {
  if (m_window) ::SetForegroundWindow(m_window);
}

void Win32TemplateDialog::EndDialog(int result) {
  m_result = result;
  m_ended = true;
  if (m_modal) {
    // Wakes the modal loop when the end comes from outside its own messages.
    if (m_window) ::PostMessageW(m_window, WM_NULL, 0, 0);
  } else if (m_window) {
    ::ShowWindow(m_window, SW_HIDE);  // modeless: hidden until its class destroys it
  }
}

intptr_t Win32TemplateDialog::SendToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return m_window ? ::SendMessageW(m_window, message, wParam, lParam) : 0;
}

bool Win32TemplateDialog::PostToSelf(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return m_window && ::PostMessageW(m_window, message, wParam, lParam) != FALSE;
}

int Win32TemplateDialog::ShowOwnedBox(const std::u16string& text, const std::u16string& caption,
                                      uint32_t style,
                                      const std::vector<std::u16string>& buttonTexts) {
  return Win32Dialogs().ShowRenamedMessageBox(Handle(), text, caption, style, buttonTexts);
}

bool Win32TemplateDialog::AddTrayIcon(int iconResource, const std::u16string& tip) {
  if (!m_window) return false;
  RemoveTrayIcon();
  m_trayIcon = LoadSkinIcon(iconResource, ::GetSystemMetrics(SM_CXSMICON));
  m_tray = NOTIFYICONDATAW{};
  m_tray.cbSize = sizeof m_tray;
  m_tray.hWnd = m_window;
  m_tray.uID = static_cast<UINT>(iconResource);
  m_tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_tray.uCallbackMessage = kWmTrayNotify;
  m_tray.hIcon = m_trayIcon;
  const std::wstring wideTip = Wide(tip).substr(0, std::size(m_tray.szTip) - 1);
  std::copy(wideTip.begin(), wideTip.end(), m_tray.szTip);
  m_trayAdded = ::Shell_NotifyIconW(NIM_ADD, &m_tray) != FALSE;
  if (!m_trayAdded && m_trayIcon) {
    ::DestroyIcon(m_trayIcon);
    m_trayIcon = nullptr;
  }
  return m_trayAdded;
}

void Win32TemplateDialog::RemoveTrayIcon() {
  if (m_trayAdded) ::Shell_NotifyIconW(NIM_DELETE, &m_tray);
  m_trayAdded = false;
  if (m_trayIcon) ::DestroyIcon(m_trayIcon);
  m_trayIcon = nullptr;
}

int Win32TemplateDialog::TrackPopupMenu(int menuResource,
                                        const std::map<int, std::u16string>& texts) {
  const res::MenuTemplate* menu = res::FindMenuTemplate(menuResource);
  if (!menu || !m_window) return 0;
  const HMENU popup = BuildPopupMenu(*menu, texts);
  POINT cursor{};
  ::GetCursorPos(&cursor);
  const int command =
      static_cast<int>(::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                        cursor.x, cursor.y, 0, m_window, nullptr));
  // A menu opened from the tray closes properly only after the window gets a message.
  ::PostMessageW(m_window, WM_NULL, 0, 0);
  ::DestroyMenu(popup);
  return command;
}

void Win32TemplateDialog::CreateBrowser(int x, int y, int width, int height,
                                        const BrowserSite& site) {
  if (!m_browserFactory || m_browser || !m_window) return;
  // The template's placeholder gives its control id to the page.
  const HWND placeholder = ::GetDlgItem(m_window, res::kBrowserArea);
  if (placeholder && HasClass(placeholder, L"Static")) ::DestroyWindow(placeholder);
  const RECT place{x, y, x + width, y + height};
  m_browser = m_browserFactory(m_window, res::kBrowserArea, place, site);
}

void Win32TemplateDialog::Navigate(const std::u16string& url) {
  if (m_browser) m_browser->Navigate(url);
}

}  // namespace zeva::win32
