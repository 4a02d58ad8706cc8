#include "res/string_table.h"

#include <algorithm>

namespace {

struct Entry {
  unsigned id;
  const char16_t* text;
};

// Kept sorted by id.
constexpr Entry kStrings[] = {
    {IDS_PRODUCT_NAME, u"Nevlora Wrenvia"},
    {IDS_MENU_DISPLAY_STATS, u"Display &Stats"},
    {IDS_TINYURL_FAILED, u"Unable to connect to the TinyURL server.\n\nPlease check your internet connection and try again."},
    {IDS_TOOLBAR_NAME, u"Wrenvia"},
    {IDS_MENU_OPTIONS, u"&Options..."},
    {IDS_MENU_CHECK_NOW, u"&Check For New Tweets Now"},
    {IDS_MENU_FEEDBACK, u"Give us your &feedback"},
    {IDS_MENU_ABOUT, u"&About Nevlora Wrenvia"},
    {IDS_INPUT_FIELD_CAPTION, u"New Tweet Text"},
    {IDS_INPUT_FIELD_TIP, u"Type a message and hit Enter to post it to Twitter."},
    {IDS_MENU_TIP, u"Additional Wrenvia commands"},
    {IDS_INVALID_CREDENTIALS, u"Invalid user name or password."},
    {IDS_VERIFYING_CREDENTIALS, u"Verifying your User name and Password..."},
    {IDS_UNREACHABLE, u"Unable to reach Twitter servers. Please check your internet connection. This may also be caused by Twitter servers going down."},
    {IDS_CONTACT_FAILED, u"Unable to contact Twitter servers. Please check your internet connection. Error: %1!d!."},
    {IDS_TWITTER_BUTTON_CAPTION, u"Twitter.com"},
    {IDS_TWITTER_BUTTON_TIP, u"Click: Go to the Twitter folder\nShift+Click: Go to http://twitter.com/"},
    {IDS_POST_FAILED, u"There was an error updating your status on Twitter.\n\n%1!s!"},
    {IDS_ENTER_CREDENTIALS, u"Please enter your Twitter user name and password in the Wrenvia Options window."},
    {IDS_ABOUT_TEXT, u"%1!s! %2!s!%3!s!\n\nBrings your Twitter account into your mailbox: new tweets, replies and direct messages arrive as mail, and you post from the toolbar."},
    {IDS_MENU_WEBSITE, u"Wrenvia &Website"},
    {IDS_SERVICE_ERROR, u"Twitter server returned an error:\n\n%1!s!"},
    {IDS_MENU_NEW_UPDATE, u"Post a &New Update"},
    {IDS_BROWSE_SOUND_TITLE, u"Wrenvia - Browse for new tweet sound."},
    {IDS_MENU_SEARCHES, u"Search/&Track/Group ..."},
    {IDS_SEARCH_LIMIT, u"We are limiting the total number of searches you can create in order to help Twitter maintain a stable service.\n\nThank you for your understanding."},
    {IDS_MENU_RETWEET, u"R&etweet..."},
    {IDS_OPTIONS_CAPTION, u"Wrenvia Options"},
    {IDS_PREV_CAPTION, u"<"},
    {IDS_PREV_TIP, u"Show previous tweet"},
    {IDS_NEXT_CAPTION, u">"},
    {IDS_NEXT_TIP, u"Show next tweet"},
    {IDS_UPLOADING, u"Uploading picture. Please wait..."},
    {IDS_UPLOADED, u"Picture uploaded! Click Update to post."},
    {IDS_UPLOAD_STATUS_FAILED, u"Picture upload failed."},
    {IDS_UPLOAD_TYPE_UNSUPPORTED, u"This file type is not supported for upload."},
    {IDS_UPLOAD_HINT, u"Click \"Upload picture\" below."},
    {IDS_NO_PICTURES, u"The selected message contains no pictures."},
    {IDS_ASK_UPLOAD_FIRST, u"Would you like to upload the picture before posting this message?\n\nClick \"Yes\" to upload the picture.\nClick \"No\" to post this tweet without the picture."},
    {IDS_NEW_CAPTION, u"New"},
    {IDS_NEW_TIP, u"Compose a new update"},
    {IDS_DIRECT_CAPTION, u"d"},
    {IDS_DIRECT_TIP, u"Send a direct (d) message"},
    {IDS_REPLY_CAPTION, u"@"},
    {IDS_REPLY_TIP, u"Send a public (@) reply"},
    {IDS_RETWEET_CAPTION, u"RT"},
    {IDS_RETWEET_TIP, u"Retweet"},
    {IDS_UPLOAD_FILE_UNREADABLE, u"Wrenvia was unable to access the file you were trying to upload."},
    {IDS_UPLOAD_FILE_TOO_BIG, u"The file you are trying to upload is too big. The maximum file limit is 4MB."},
    {IDS_UPLOAD_NO_REQUEST, u"Wrenvia was unable to send a request to the server."},
    {IDS_UPLOAD_UNREACHABLE, u"Wrenvia was unable to connect to the picture upload server. This error might be caused by Internent connectivity issues or by a server outage."},
    {IDS_UPLOAD_UNEXPECTED_RESULT, u"Picture upload server returned an unexpected result. This is probably caused by picture upload service outage."},
    {IDS_UPLOAD_REFUSED, u"Picture upload server returned an error."},
    {IDS_ATTACHMENT_OPEN_FAILED, u"Failed to open the selected attachment."},
    {IDS_ATTACHMENT_READ_FAILED, u"Failed to read the selected attachment."},
    {IDS_UPLOAD_UNEXPECTED_ERROR, u"Unexpected error uploading your picture. %1!d!.\n\nPlease contact support@nevlora.com."},
    {IDS_COMPOSE_CAPTION, u"Nevlora Wrenvia - Compose Update"},
    {IDS_COMPOSE_OVER_LIMIT, u"Post even if message is over the length &limit"},
    {IDS_COMPOSE_ATTACHMENT_LABEL, u"Upload a picture attached to the highlighted email:"},
    {IDS_COMPOSE_FILE_LABEL, u"Upload a picture from your computer:"},
    {IDS_COMPOSE_SERVICES_NOTE, u"Note: Picture upload services are not affiliated with Twitter or Nevlora. Please read their terms of service and privacy policies."},
    {IDS_COMPOSE_IMAGE_FILTER, u"Image files (*.png;*.jpg;*.jpeg;*.gif)"},
    {IDS_SHORTEN_URLS_OPTION, u"Shorten URLs with &tinyurl. (for URLs over 40 characters)"},
    {IDS_STATS_TITLE, u"Nevlora Wrenvia - Your Twitter stats"},
    {IDS_STATS_NOT_ENOUGH_DATA, u"Not enough data available. Check back in a few hours."},
    {IDS_UPLOAD_FAILED, u"There was an error uploading your picture.\n\n%1!s!"},
};

constexpr bool IsSorted() {
  for (std::size_t i = 1; i < std::size(kStrings); ++i)
    if (kStrings[i - 1].id >= kStrings[i].id) return false;
  return true;
}
static_assert(IsSorted(), "string table must be sorted by id, without duplicates");

// printf-style rendering of one insert's format: flags ("-" left-aligns,
// "0" pads with zeros), a width, and for numbers a size ("l", "h"; "ll" or
// "I64" for 64 bits) and a conversion (d i u x X). Numbers are 32-bit unless
// the size says 64, as on Windows.
struct InsertFormat {
  bool left = false;
  bool zero = false;
  std::size_t width = 0;
  bool wide = false;  // 64-bit
  char16_t conversion = 0;
};

bool ParseFormat(std::u16string_view text, InsertFormat* f) {
  std::size_t i = 0;
  for (; i < text.size() && (text[i] == u'-' || text[i] == u'0' || text[i] == u'+' || text[i] == u' '); ++i) {
    if (text[i] == u'-') f->left = true;
    if (text[i] == u'0') f->zero = true;
  }
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) f->width = f->width * 10 + (text[i] - u'0');
  if (i < text.size() && text[i] == u'.') {  // a precision: accepted, not applied
    ++i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') ++i;
  }
  std::u16string_view rest = text.substr(i);
  if (rest.size() >= 3 && rest.substr(0, 3) == u"I64") {
    f->wide = true;
    rest.remove_prefix(3);
  } else if (rest.size() >= 2 && rest.substr(0, 2) == u"ll") {
    f->wide = true;
    rest.remove_prefix(2);
  } else {
    while (!rest.empty() && (rest[0] == u'l' || rest[0] == u'h' || rest[0] == u'w')) rest.remove_prefix(1);
  }
  if (rest.size() != 1) return false;
  f->conversion = rest[0];
  return true;
}

void Pad(const InsertFormat& f, std::u16string text, std::u16string* out) {
  if (text.size() < f.width) {
    const std::size_t fill = f.width - text.size();
    const bool zeros = f.zero && !f.left && f.conversion != u's';
    if (f.left)
      text.append(fill, u' ');
    else if (zeros)
      text.insert(!text.empty() && text[0] == u'-' ? 1 : 0, fill, u'0');  // after the sign
    else
      text.insert(0, fill, u' ');
  }
  out->append(text);
}

bool FormatNumber(const InsertFormat& f, std::int64_t v, std::u16string* out) {
  std::string digits;
  switch (f.conversion) {
    case u'd':
    case u'i': digits = std::to_string(f.wide ? v : static_cast<std::int64_t>(static_cast<std::int32_t>(v))); break;
    case u'u':
      digits = std::to_string(f.wide ? static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(static_cast<std::uint32_t>(v)));
      break;
    case u'x':
    case u'X': {
      const char* set = f.conversion == u'x' ? "0123456789abcdef" : "0123456789ABCDEF";
      std::uint64_t u = f.wide ? static_cast<std::uint64_t>(v) : static_cast<std::uint32_t>(v);
      if (u == 0) digits = "0";
      for (; u; u >>= 4) digits.insert(digits.begin(), set[u & 15]);
      break;
    }
    default: return false;
  }
  Pad(f, std::u16string(digits.begin(), digits.end()), out);
  return true;
}

}  // namespace

std::u16string LoadStringW(unsigned id) {
  const auto* end = std::end(kStrings);
  const auto* it = std::lower_bound(std::begin(kStrings), end, id, [](const Entry& e, unsigned v) { return e.id < v; });
  if (it == end || it->id != id) return {};
  return it->text;
}

std::u16string FormatMessageW(std::u16string_view p, std::initializer_list<MessageArg> args, bool* ok) {
  if (ok) *ok = true;
  auto fail = [ok]() {
    if (ok) *ok = false;
    return std::u16string();
  };
  std::u16string out;
  out.reserve(p.size() + 32);
  for (std::size_t i = 0; i < p.size(); ++i) {
    const char16_t c = p[i];
    if (c != u'%' || i + 1 >= p.size()) {
      out.push_back(c);
      continue;
    }
    const char16_t f = p[++i];
    if (f == u'0') return out;
    if (f == u'n') {
      out += u"\r\n";
      continue;
    }
    if (f < u'1' || f > u'9') {
      out.push_back(f);  // "%%", "%.", "%!", "% " ...
      continue;
    }
    std::size_t n = f - u'0';
    if (i + 1 < p.size() && p[i + 1] >= u'0' && p[i + 1] <= u'9') n = n * 10 + (p[++i] - u'0');
    if (n > args.size()) return fail();
    std::u16string_view insertFormat = u"s";
    if (i + 1 < p.size() && p[i + 1] == u'!') {
      const auto close = p.find(u'!', i + 2);
      if (close == std::u16string_view::npos) return fail();
      insertFormat = p.substr(i + 2, close - (i + 2));
      i = close;
    }
    const MessageArg& arg = *(args.begin() + (n - 1));
    InsertFormat format;
    if (!ParseFormat(insertFormat, &format)) return fail();
    if (format.conversion == u's' || format.conversion == u'S') {
      format.conversion = u's';
      if (const auto* s = std::get_if<std::u16string>(&arg)) {
        Pad(format, *s, &out);
      } else {
        const std::string d = std::to_string(std::get<std::int64_t>(arg));
        Pad(format, std::u16string(d.begin(), d.end()), &out);
      }
      continue;
    }
    const auto* num = std::get_if<std::int64_t>(&arg);
    if (!num || !FormatNumber(format, *num, &out)) return fail();
  }
  return out;
}

std::u16string FormatStringW(unsigned id, std::initializer_list<MessageArg> args) {
  const std::u16string pattern = LoadStringW(id);
  if (pattern.empty()) return {};
  return FormatMessageW(pattern, args);
}
