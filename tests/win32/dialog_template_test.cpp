// Every template of res/ through the system's dialog manager: the controls it makes from the
// built template, in order, with their classes, styles, texts and places.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ports/win32/dialog_template_builder.h"
#include "ports/win32/wide.h"
#include "res/dialog_templates.h"
#include "res/resource_ids.h"

namespace zeva::win32 {
namespace {

using res::ControlKind;

INT_PTR CALLBACK PlainDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

std::u16string TextOf(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  return FromWide(text);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

struct KindShape {
  ControlKind kind;
  const wchar_t* className;
  DWORD type;  // the style's low nibble (button and static types, edit alignment)
  bool tabStop;
};
constexpr KindShape kShapes[] = {
    {ControlKind::kButton, L"Button", BS_PUSHBUTTON, true},
    {ControlKind::kOwnerDrawButton, L"Button", BS_OWNERDRAW, true},
    {ControlKind::kGroupBox, L"Button", BS_GROUPBOX, false},
    {ControlKind::kRadio, L"Button", BS_AUTORADIOBUTTON, false},
    {ControlKind::kCheckBox, L"Button", BS_AUTOCHECKBOX, true},
    {ControlKind::kEdit, L"Edit", ES_LEFT, true},
    {ControlKind::kPasswordEdit, L"Edit", ES_LEFT, true},
    {ControlKind::kStatic, L"Static", SS_LEFT, false},
    {ControlKind::kProgressBar, L"msctls_progress32", 0, false},
};

const KindShape& ShapeOf(ControlKind kind) {
  for (const KindShape& shape : kShapes) {
    if (shape.kind == kind) return shape;
  }
  return kShapes[0];
}

TEST(DialogTemplateTest, TheDialogManagerMakesEveryTemplateAsWritten) {
  for (const int id : {res::kMainDialog, res::kSettingsDialog, res::kDownloadDialog,
                       res::kUpdateLogDialog, res::kAboutDialog}) {
    SCOPED_TRACE(id);
    const res::DialogTemplate& dialog = *res::FindDialogTemplate(id);
    const std::vector<WORD> bytes = BuildDialogTemplate(dialog);
    const HWND window = ::CreateDialogIndirectParamW(
        ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr,
        &PlainDialog, 0);
    ASSERT_NE(window, nullptr) << ::GetLastError();

    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_VISIBLE, 0);  // shown once its class has laid it out
    EXPECT_EQ((style & WS_CAPTION) == WS_CAPTION, !dialog.caption.empty());
    // Every window but the main one has a system menu, caption or not.
    EXPECT_EQ((style & WS_SYSMENU) != 0, id != res::kMainDialog);
    EXPECT_EQ(TextOf(window), dialog.caption);
    EXPECT_EQ((::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0, dialog.taskbarButton);

    // The template's font and point size.
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font,
                 &font);
    const HDC screen = ::GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -::MulDiv(dialog.fontPoints, ::GetDeviceCaps(screen, LOGPIXELSY), 72));
    ::ReleaseDC(nullptr, screen);
    RECT size{0, 0, dialog.width, dialog.height};
    ::MapDialogRect(window, &size);
    RECT client;
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    HWND child = ::GetWindow(window, GW_CHILD);
    for (const res::ControlTemplate& control : dialog.controls) {
      SCOPED_TRACE(control.id);
      ASSERT_NE(child, nullptr);
      const KindShape& shape = ShapeOf(control.kind);
      const LONG childStyle = ::GetWindowLongW(child, GWL_STYLE);
      EXPECT_EQ(::GetDlgCtrlID(child), control.id);
      EXPECT_EQ(ClassOf(child), shape.className);
      if (control.kind != ControlKind::kProgressBar) {
        EXPECT_EQ(childStyle & 0xF, shape.type);
      }
      EXPECT_EQ((childStyle & WS_VISIBLE) != 0, control.visible);
      EXPECT_EQ((childStyle & WS_GROUP) != 0, control.startsGroup);
      EXPECT_EQ((childStyle & WS_TABSTOP) != 0, shape.tabStop || control.startsGroup);
      EXPECT_EQ((childStyle & ES_PASSWORD) != 0 && shape.className == std::wstring(L"Edit"),
                control.kind == ControlKind::kPasswordEdit);
      if (control.kind != ControlKind::kPasswordEdit) {
        EXPECT_EQ(TextOf(child), control.text);
      }

      // The dialog manager converts the place and the size each on its own.
      RECT units{control.x, control.y, control.width, control.height};
      ::MapDialogRect(window, &units);
      const RECT expected{units.left, units.top, units.left + units.right,
                          units.top + units.bottom};
      RECT place;
      ::GetWindowRect(child, &place);
      ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
      EXPECT_TRUE(::EqualRect(&place, &expected));
      child = ::GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
    ::DestroyWindow(window);
  }
}

}  // namespace
}  // namespace zeva::win32
