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
  // Numbers are 32-bit unless the format says 64, as on Windows.
  const std::int64_t hr = static_cast<std::int32_t>(0x80004005);
  EXPECT_EQ(FormatMessageW(u"%1!lx! %1!I64x! %1!d!", {hr}), u"80004005 ffffffff80004005 -2147467259");
  EXPECT_EQ(FormatMessageW(u"[%1!-5d!][%1!05d!][%2!6s!][%2!-6s!]", {std::int64_t{-42}, u"ab"}),
            u"[-42  ][-0042][    ab][ab    ]");
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
