// The program's icons from its own resources, loaded as the window and the notification area load
// them: every load at the size asked for, whatever was loaded before, and the warning look a
// picture of its own; the notification area's at the small size of its window's scale.
#include <gtest/gtest.h>

#include <vector>

#include "shell/win32/ProgramIcon.h"
#include "shell/win32/TrayIcon.h"

namespace varo::test {
namespace {

// The icon's colour image: its width, and its pixels as 32-bit values.
struct IconPicture {
  int Width = 0;
  std::vector<unsigned> Pixels;
};

IconPicture PictureOf(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {};
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  IconPicture picture{bitmap.bmWidth, {}};
  BITMAPINFO format{};
  format.bmiHeader = {sizeof format.bmiHeader, bitmap.bmWidth, bitmap.bmHeight, 1, 32, BI_RGB};
  picture.Pixels.resize(static_cast<std::size_t>(bitmap.bmWidth) * bitmap.bmHeight);
  const HDC screen = GetDC(nullptr);
  GetDIBits(screen, info.hbmColor, 0, bitmap.bmHeight, picture.Pixels.data(), &format,
            DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return picture;
}

TEST(ProgramIcon, EveryLoadIsAtTheSizeAskedAndTheWarningLookDiffers) {
  // The small and large icons from 100 to 250 % scale; 28 has no image of its own.
  for (const int size : {16, 20, 24, 32, 40, 48, 28, 64}) {
    const OwnedIcon normal = LoadProgramIcon(IconLook::Normal, size);
    const OwnedIcon warning = LoadProgramIcon(IconLook::Warning, size);
    ASSERT_NE(normal.Get(), nullptr) << size;
    ASSERT_NE(warning.Get(), nullptr) << size;
    const IconPicture normalPicture = PictureOf(normal.Get());
    const IconPicture warningPicture = PictureOf(warning.Get());
    EXPECT_EQ(normalPicture.Width, size);
    EXPECT_EQ(warningPicture.Width, size);
    EXPECT_NE(normalPicture.Pixels, warningPicture.Pixels) << size;
  }
}

// The icon follows its window's scale, which may be none of the system's: 16 pixels at 100 %.
TEST(TrayIcon, IsLoadedAtTheSmallIconSizeOfTheWindowsScale) {
  const HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  TrayIcon icon(owner, L"Quillmarch Varo Server", 144);
  EXPECT_EQ(PictureOf(icon.Icon()).Width, 24);
  const struct {
    UINT Dpi;
    int Width;
  } cases[] = {{96, 16}, {120, 20}, {192, 32}, {168, 28}};
  for (const auto& c : cases) {
    icon.LoadIcons(c.Dpi);
    EXPECT_EQ(PictureOf(icon.Icon()).Width, c.Width) << c.Dpi;
  }
  icon.SetWarning(true);  // the other look, at the same size
  EXPECT_EQ(PictureOf(icon.Icon()).Width, 28);
  DestroyWindow(owner);
}

}  // namespace
}  // namespace varo::test
