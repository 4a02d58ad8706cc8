#include <gtest/gtest.h>

#include "res/string_table.h"

namespace {

TEST(StringTable, LoadsTextsByIdAndNothingForUnknownIds) {
  EXPECT_EQ(LoadStringW(IDS_PRODUCT_NAME), u"Nevlora Wrenvia");
  EXPECT_EQ(LoadStringW(IDS_SEARCH_LIMIT),
            u"We are limiting the total number of searches you can create in order to help Twitter maintain a "
            u"stable service.\n\nThank you for your understanding.");
  EXPECT_EQ(LoadStringW(IDS_UPLOAD_HINT), u"Click \"Upload picture\" below.");
  EXPECT_TRUE(LoadStringW(99999).empty());
}

TEST(FormatMessage, FillsNumberedInsertsWithTheirFormats) {
  EXPECT_EQ(FormatStringW(IDS_CONTACT_FAILED, {std::int64_t{-1}}),
            u"Unable to contact Twitter servers. Please check your internet connection. Error: -1.");
  EXPECT_EQ(FormatStringW(IDS_SERVICE_ERROR, {std::u16string()}), u"Twitter server returned an error:\n\n");
  EXPECT_EQ(FormatMessageW(u"%2!s! before %1!s!", {u"b", u"a"}), u"a before b");
  EXPECT_EQ(FormatMessageW(u"%1 plain, %1!lx! hex, %1!04d! padded", {std::int64_t{26}}),
            u"26 plain, 1a hex, 0026 padded");
  EXPECT_EQ(FormatMessageW(u"100%% sure%.%nnext", {}), u"100% sure.\r\nnext");
  EXPECT_EQ(FormatMessageW(u"stop%0here", {}), u"stop");
  // An insert given as text where a number is formatted is refused, as is a
  // missing insert: the caller then shows nothing rather than garbage.
  bool ok = true;
  EXPECT_TRUE(FormatMessageW(u"%1!d!", {u"x"}, &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(FormatMessageW(u"%2!s!", {u"x"}, &ok).empty());
  EXPECT_FALSE(ok);
  EXPECT_TRUE(FormatMessageW(u"%1!s", {u"x"}, &ok).empty());
  EXPECT_FALSE(ok);
}

}  // namespace
