#include "platform/model/folder_listing.h"

#include <gtest/gtest.h>

#include "platform/model/wildcard.h"
#include "text/utf.h"

namespace kestrel {
namespace {

// The answers Wine gives for a folder holding a, b, B_, C, sub, Zed and _x
// (and for a drive's root), with the names of a case-sensitive disk added.
TEST(FolderListing, DotsFirstThenNamesInUpperCaseOrder) {
  const std::vector<std::wstring> names = {L"_x", L"Zed", L"sub", L"C", L"B_", L"b", L"a", L"A"};
  struct Case {
    const wchar_t* mask;
    bool driveRoot;
    std::vector<std::wstring> listed;
  } cases[] = {
      {L"*", false, {L".", L"..", L"A", L"a", L"b", L"B_", L"C", L"sub", L"Zed", L"_x"}},
      {L"*", true, {L"A", L"a", L"b", L"B_", L"C", L"sub", L"Zed", L"_x"}},
      {L".*", false, {L".", L".."}},
      {L"?", false, {L".", L"A", L"a", L"b", L"C"}},
      {L"nothing*", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<FindDataW> matched;
    for (const std::wstring& name : names)
      if (MatchesWildcard(c.mask, name)) matched.push_back(FindDataW{win::kFileAttributeArchive, 1, name});
    FolderListing listing(c.mask, c.driveRoot, matched);
    std::vector<std::wstring> listed;
    FindDataW entry;
    while (listing.Next(entry) == 0) {
      listed.push_back(entry.fileName);
      bool dot = entry.fileName == L"." || entry.fileName == L"..";
      EXPECT_EQ(entry.attributes, dot ? win::kFileAttributeDirectory : win::kFileAttributeArchive);
    }
    EXPECT_EQ(listing.Next(entry), win::kNoMoreFiles);  // and stays past the end
    EXPECT_EQ(listed, c.listed) << WideToUtf8(c.mask) << (c.driveRoot ? " at a drive's root" : "");
  }
}

}  // namespace
}  // namespace kestrel
