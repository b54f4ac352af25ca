#include "check/lint/known_keys.h"

#include "text/nocase.h"

namespace kestrel::check {

namespace {

using enum KeyKind;

constexpr KnownKey kGameBase[] = {
    {L"mainExe", kText},    {L"param", kText},     {L"CompatibilityMode", kText},
    {L"assocToGid", kText}, {L"currntVer", kText},
};
constexpr KnownKey kActionFirst[] = {
    {L"runFirstUrl", kText},    {L"runFirstExe", kText},   {L"runFirstParam", kText}, {L"runFirstExe2", kText},
    {L"runFirstParam2", kText}, {L"setBits", kNumber},     {L"substFlag", kNumber},   {L"virtualDriveFile", kText},
    {L"assocGids", kText},      {L"delFileOrDirs", kText}, {L"regDlls", kText},
};
constexpr KnownKey kSetPlatform[] = {{L"PlatformConfigFile", kText}};
constexpr KnownKey kPersonalization[] = {{L"overwrite", kNumber}};
constexpr KnownKey kActionAfter[] = {
    {L"sleep", kNumber},
    {L"RunAfterExe", kText},
    {L"RunAfterParam", kText},
    {L"killProNames", kText},
};
constexpr KnownKey kDlgConfig[] = {
    {L"btnCount", kNumber}, {L"dlgCaption", kText}, {L"btn%dCaption", kText},    {L"btn%dExe", kText},
    {L"btn%dParam", kText}, {L"btn%dVer", kText},   {L"btn%dCloseDlg", kNumber},
};
constexpr KnownKey kPrerequisite[] = {
    {L"checkType", kNumber}, {L"checkPath", kText}, {L"checkVerion", kText},
    {L"instName", kText},    {L"instFile", kText},  {L"instParam", kText},
};

constexpr KnownSection kSections[] = {
    {L"game_base", kGameBase},       {L"action_first", kActionFirst},
    {L"set_platform", kSetPlatform}, {L"personalization", kPersonalization},
    {L"action_after", kActionAfter}, {L"dlg_config", kDlgConfig},
    {L"%d", kPrerequisite},
};

}  // namespace

std::span<const KnownSection> KnownSections() { return kSections; }

bool MatchesPattern(std::wstring_view pattern, std::wstring_view name) {
  const std::size_t at = pattern.find(L"%d");
  if (at == std::wstring_view::npos) return EqualsNoCase(pattern, name);
  const std::wstring_view head = pattern.substr(0, at), tail = pattern.substr(at + 2);
  if (name.size() <= head.size() + tail.size()) return false;
  if (!EqualsNoCase(name.substr(0, head.size()), head) || !EqualsNoCase(name.substr(name.size() - tail.size()), tail))
    return false;
  const std::wstring_view digits = name.substr(head.size(), name.size() - head.size() - tail.size());
  for (wchar_t c : digits)
    if (c < L'0' || c > L'9') return false;
  return true;
}

const KnownSection* FindKnownSection(std::wstring_view name) {
  for (const KnownSection& section : kSections)
    if (MatchesPattern(section.name, name)) return &section;
  return nullptr;
}

const KnownKey* FindKnownKey(const KnownSection& section, std::wstring_view key) {
  for (const KnownKey& known : section.keys)
    if (MatchesPattern(known.name, key)) return &known;
  return nullptr;
}

}  // namespace kestrel::check
