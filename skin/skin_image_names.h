#pragma once
// The skin images a complete res.dat holds: the ten the chooser loads when
// its window is created, in that order, then the faces of the window's own
// small buttons.  The background and the version-button face are the two
// the chooser cannot do without.

namespace kestrel {

inline constexpr const wchar_t* kFrameImageNames[8] = {
    L"Skin/wnd_00.png", L"Skin/wnd_01.png", L"Skin/wnd_02.png", L"Skin/wnd_03.png",
    L"Skin/wnd_04.png", L"Skin/wnd_05.png", L"Skin/wnd_06.png", L"Skin/wnd_07.png",
};
inline constexpr const wchar_t* kBackgroundImageName = L"Skin/背景.png";
inline constexpr const wchar_t* kButtonImageName = L"Skin/多版本_按钮.png";
inline constexpr const wchar_t* kMinimizeImageName = L"Skin/最小化.png";
inline constexpr const wchar_t* kMaximizeImageName = L"Skin/最大化.png";
inline constexpr const wchar_t* kCloseImageName = L"Skin/关闭.png";

/// All thirteen, in the order the chooser first loads them.
inline constexpr const wchar_t* kSkinImageNames[13] = {
    kFrameImageNames[0], kFrameImageNames[1], kFrameImageNames[2], kFrameImageNames[3], kFrameImageNames[4],
    kFrameImageNames[5], kFrameImageNames[6], kFrameImageNames[7], kBackgroundImageName, kButtonImageName,
    kMinimizeImageName,  kMaximizeImageName,  kCloseImageName,
};

}  // namespace kestrel
