#include "host/mailstore/message.h"

#include <gmime/gmime.h>

#include <mutex>

#include "platform/text.h"

namespace mailstore {
namespace {

constexpr char kClassHeader[] = "X-Wrenvia-Message-Class";
constexpr char kPropertyPrefix[] = "X-Wrenvia-Property-";
constexpr char kFromTypeHeader[] = "X-Wrenvia-From-Type";
constexpr char kSenderTypeHeader[] = "X-Wrenvia-Sender-Type";
constexpr char kFlagsHeader[] = "X-Wrenvia-Message-Flags";
constexpr char kCreatedHeader[] = "X-Wrenvia-Creation-Time";
constexpr char kModifiedHeader[] = "X-Wrenvia-Last-Modification-Time";
constexpr char kMessageIdDomain[] = "wrenvia.invalid";

GMimeObject* AsObject(GMimeMessage* m) { return reinterpret_cast<GMimeObject*>(m); }

std::string Utf8(std::u16string_view s) { return Utf16ToUtf8(s); }
std::u16string Utf16(const char* s) { return s ? Utf8ToUtf16(s) : std::u16string(); }

// Takes a g_malloc'd string.
std::string TakeString(char* s) {
  std::string out = s ? s : "";
  g_free(s);
  return out;
}

void SetOrRemoveHeader(GMimeMessage* m, const char* name, const std::string& value) {
  if (value.empty())
    g_mime_object_remove_header(AsObject(m), name);
  else
    g_mime_object_set_header(AsObject(m), name, value.c_str(), "utf-8");
}

std::string FormatDate(std::int64_t seconds) {
  GDateTime* date = g_date_time_new_from_unix_utc(seconds);
  if (!date) return {};
  std::string text = TakeString(g_mime_utils_header_format_date(date));
  g_date_time_unref(date);
  return text;
}

std::optional<std::int64_t> ParseDate(const char* text) {
  if (!text || !*text) return std::nullopt;
  GDateTime* date = g_mime_utils_header_decode_date(text);
  if (!date) return std::nullopt;
  const std::int64_t seconds = g_date_time_to_unix(date);
  g_date_time_unref(date);
  return seconds;
}

// ---- addresses -------------------------------------------------------------

bool IsSmtp(std::u16string_view type) { return type.empty() || EqualsIgnoreCase(type, u"SMTP"); }

// "twitter.invalid" for the type TWITTER: lower-case letters, digits and
// hyphens of the type.
std::string InvalidDomainFor(std::u16string_view type) {
  std::string label;
  for (char16_t c : type) {
    if (c >= u'A' && c <= u'Z') label += static_cast<char>(c - u'A' + 'a');
    else if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-') label += static_cast<char>(c);
  }
  if (label.empty()) label = "unknown";
  return label + ".invalid";
}

bool IsAtext(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

// The local part as a dot-atom when it is one, else as a quoted string.
std::string LocalPart(const std::string& local) {
  bool atom = !local.empty() && local.front() != '.' && local.back() != '.';
  for (std::size_t i = 0; atom && i < local.size(); ++i) {
    if (local[i] == '.') atom = local[i + 1] != '.';
    else atom = IsAtext(local[i]);
  }
  if (atom) return local;
  std::string quoted = "\"";
  for (char c : local) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c == '\r' || c == '\n') continue;
    quoted += c;
  }
  return quoted + "\"";
}

std::string Unquote(const std::string& local) {
  if (local.size() < 2 || local.front() != '"' || local.back() != '"') return local;
  std::string out;
  for (std::size_t i = 1; i + 1 < local.size(); ++i) {
    if (local[i] == '\\' && i + 2 < local.size()) ++i;
    out += local[i];
  }
  return out;
}

void WriteMailbox(GMimeMessage* m, InternetAddressList* list, const char* header, const char* typeHeader,
                  const Mailbox& mailbox) {
  internet_address_list_clear(list);
  if (mailbox.empty()) {
    g_mime_object_remove_header(AsObject(m), header);
    g_mime_object_remove_header(AsObject(m), typeHeader);
    return;
  }
  std::string addr;
  if (IsSmtp(mailbox.addressType)) {
    addr = Utf8(mailbox.address);
    g_mime_object_remove_header(AsObject(m), typeHeader);
  } else {
    addr = LocalPart(Utf8(mailbox.address)) + "@" + InvalidDomainFor(mailbox.addressType);
    g_mime_object_set_header(AsObject(m), typeHeader, Utf8(mailbox.addressType).c_str(), "utf-8");
  }
  const std::string name = Utf8(mailbox.name);
  InternetAddress* ia = internet_address_mailbox_new(name.empty() ? nullptr : name.c_str(), addr.c_str());
  internet_address_set_charset(ia, "utf-8");
  internet_address_list_add(list, ia);
  g_object_unref(ia);
}

std::optional<Mailbox> ReadMailbox(GMimeMessage* m, InternetAddressList* list, const char* typeHeader) {
  if (!list || internet_address_list_length(list) < 1) return std::nullopt;
  InternetAddress* ia = internet_address_list_get_address(list, 0);
  Mailbox mailbox;
  mailbox.name = Utf16(internet_address_get_name(ia));
  if (!INTERNET_ADDRESS_IS_MAILBOX(ia)) return mailbox;
  const std::string addr = internet_address_mailbox_get_addr(reinterpret_cast<InternetAddressMailbox*>(ia))
                               ? internet_address_mailbox_get_addr(reinterpret_cast<InternetAddressMailbox*>(ia))
                               : "";
  const std::u16string type = Utf16(g_mime_object_get_header(AsObject(m), typeHeader));
  if (!IsSmtp(type)) {
    std::string domain(1, '@');
    domain += InvalidDomainFor(type);
    const std::size_t at = addr.rfind('@');
    if (at != std::string::npos && EqualsIgnoreCase(Utf8ToUtf16(addr.substr(at)), Utf8ToUtf16(domain))) {
      mailbox.address = Utf8ToUtf16(Unquote(addr.substr(0, at)));
      mailbox.addressType = type;
      return mailbox;
    }
  }
  mailbox.address = Utf8ToUtf16(addr);
  return mailbox;
}

// ---- parts -----------------------------------------------------------------

bool IsAttachmentPart(GMimeObject* object) {
  if (!GMIME_IS_PART(object)) return false;
  GMimePart* part = GMIME_PART(object);
  return g_mime_part_is_attachment(part) || g_mime_part_get_filename(part) != nullptr;
}

// Leaves of the part tree in order; embedded messages are not entered.
void CollectLeaves(GMimeObject* object, std::vector<GMimeObject*>& leaves) {
  if (!object) return;
  if (GMIME_IS_MULTIPART(object)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    const int count = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < count; ++i) CollectLeaves(g_mime_multipart_get_part(multipart, i), leaves);
    return;
  }
  leaves.push_back(object);
}

GMimeTextPart* FindTextPart(GMimeMessage* m, const char* subtype) {
  std::vector<GMimeObject*> leaves;
  CollectLeaves(g_mime_message_get_mime_part(m), leaves);
  for (GMimeObject* leaf : leaves) {
    if (!GMIME_IS_TEXT_PART(leaf) || IsAttachmentPart(leaf)) continue;
    GMimeContentType* type = g_mime_object_get_content_type(leaf);
    if (type && g_mime_content_type_is_type(type, "text", subtype)) return GMIME_TEXT_PART(leaf);
  }
  return nullptr;
}

// Quoted-printable that keeps the text exactly: line breaks stay line
// breaks, and a text that does not end with one ends with a soft break, so
// reading it back gives no line break the text did not have.
std::string EncodeQuotedPrintable(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t lineLength = 0;
  auto put = [&](const std::string& piece) {
    if (lineLength + piece.size() > 75) {
      out += "=\n";
      lineLength = 0;
    }
    out += piece;
    lineLength += piece.size();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool lineEnd = i + 1 == text.size() || text[i + 1] == '\n';
    if (c == '\n') {
      out += '\n';
      lineLength = 0;
    } else if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !lineEnd)) {
      put(std::string(1, static_cast<char>(c)));
    } else {
      put(std::string{'=', kHex[c >> 4], kHex[c & 0xF]});
    }
  }
  if (!text.empty() && text.back() != '\n') out += "=\n";
  return out;
}

// Sets the content of a text part to UTF-8 text, quoted-printable (readable
// in the file, and safe for any line length). The part gets a new content
// type: the old one's parameters (another charset, format=flowed) described
// the old text, and GMime can loop without end re-encoding some odd ones.
void SetPartText(GMimeTextPart* part, const char* subtype, const std::string& utf8) {
  const std::string encoded = EncodeQuotedPrintable(utf8);
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(encoded.data(), encoded.size());
  GMimeDataWrapper* content = g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
  g_mime_part_set_content(GMIME_PART(part), content);
  g_object_unref(content);
  g_object_unref(stream);
  GMimeContentType* type = g_mime_content_type_new("text", subtype);
  g_mime_content_type_set_parameter(type, "charset", "utf-8");
  g_mime_object_set_content_type(GMIME_OBJECT(part), type);
  g_object_unref(type);
  g_mime_part_set_content_encoding(GMIME_PART(part), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
}

// A text/plain or text/html part that is a body, not an attachment.
bool IsTextBodyLeaf(GMimeObject* object) {
  if (!GMIME_IS_TEXT_PART(object) || IsAttachmentPart(object)) return false;
  GMimeContentType* type = g_mime_object_get_content_type(object);
  return type && (g_mime_content_type_is_type(type, "text", "plain") || g_mime_content_type_is_type(type, "text", "html"));
}

// A new multipart/alternative of the text body `other` and the new `added`
// part, plain text first.
GMimeObject* NewAlternative(GMimeObject* other, GMimeObject* added, bool addedIsPlain) {
  GMimeMultipart* alternative = g_mime_multipart_new_with_subtype("alternative");
  g_mime_multipart_add(alternative, addedIsPlain ? added : other);
  g_mime_multipart_add(alternative, addedIsPlain ? other : added);
  return GMIME_OBJECT(alternative);
}

// Adds the body part of the given subtype, or replaces the one there is.
// Nothing the message held is lost: a text body of the other kind becomes
// multipart/alternative with the new one, and a body that was an
// attachment or some other part is kept after the new body in
// multipart/mixed.
void SetBodyPart(GMimeMessage* m, const char* subtype, const std::string& utf8) {
  if (GMimeTextPart* existing = FindTextPart(m, subtype)) {
    SetPartText(existing, subtype, utf8);
    return;
  }
  const bool plain = std::string_view(subtype) == "plain";
  GMimeTextPart* text = g_mime_text_part_new_with_subtype(subtype);
  SetPartText(text, subtype, utf8);
  GMimeObject* part = GMIME_OBJECT(text);
  GMimeObject* top = g_mime_message_get_mime_part(m);
  if (!top) {
    g_mime_message_set_mime_part(m, part);
  } else if (GMIME_IS_MULTIPART(top)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(top);
    GMimeContentType* type = g_mime_object_get_content_type(top);
    GMimeObject* first = g_mime_multipart_get_count(multipart) > 0 ? g_mime_multipart_get_part(multipart, 0) : nullptr;
    if (type && g_mime_content_type_is_type(type, "multipart", "alternative")) {
      if (plain)
        g_mime_multipart_insert(multipart, 0, part);
      else
        g_mime_multipart_add(multipart, part);
    } else if (first && IsTextBodyLeaf(first)) {
      // Mixed content led by the other kind of body: the two become one
      // alternative body.
      g_object_ref(first);
      GMimeObject* alternative = NewAlternative(first, part, plain);
      g_object_unref(g_mime_multipart_replace(multipart, 0, alternative));
      g_object_unref(alternative);
      g_object_unref(first);
    } else {
      g_mime_multipart_insert(multipart, 0, part);
    }
  } else {
    g_object_ref(top);  // kept while the message lets go of it
    GMimeObject* combined = nullptr;
    if (IsTextBodyLeaf(top)) {
      combined = NewAlternative(top, part, plain);
    } else {
      GMimeMultipart* mixed = g_mime_multipart_new_with_subtype("mixed");
      g_mime_multipart_add(mixed, part);
      g_mime_multipart_add(mixed, top);
      combined = GMIME_OBJECT(mixed);
    }
    g_mime_message_set_mime_part(m, combined);
    g_object_unref(combined);
    g_object_unref(top);
  }
  g_object_unref(text);
}

std::u16string PartText(GMimeTextPart* part) {
  if (!part) return {};
  return Utf8ToUtf16(TakeString(g_mime_text_part_get_text(part)));
}

std::u16string HtmlToText(std::u16string_view html) {
  std::u16string text;
  bool inTag = false;
  for (char16_t c : html) {
    if (c == u'<') inTag = true;
    else if (c == u'>') inTag = false;
    else if (!inTag) text += c;
  }
  ReplaceAll(text, u"&nbsp;", u" ");
  ReplaceAll(text, u"&lt;", u"<");
  ReplaceAll(text, u"&gt;", u">");
  ReplaceAll(text, u"&quot;", u"\"");
  ReplaceAll(text, u"&#39;", u"'");
  ReplaceAll(text, u"&amp;", u"&");
  return text;
}

// ---- user properties -------------------------------------------------------

bool IsPlainNameChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.';
}

// A header field name may hold printable ASCII but ":"; anything else of the
// property name is written as "%" and two hex digits of its UTF-8 bytes.
std::string PropertyHeaderName(std::u16string_view name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string header = kPropertyPrefix;
  for (unsigned char c : Utf8(name)) {
    if (IsPlainNameChar(c)) {
      header += static_cast<char>(c);
    } else {
      header += '%';
      header += kHex[c >> 4];
      header += kHex[c & 0xF];
    }
  }
  return header;
}

std::optional<std::u16string> PropertyNameFromHeader(std::string_view header) {
  const std::string_view prefix(kPropertyPrefix);
  if (header.size() <= prefix.size() || !EqualsIgnoreCase(Utf8ToUtf16(header.substr(0, prefix.size())),
                                                          Utf8ToUtf16(prefix)))
    return std::nullopt;
  std::string name;
  for (std::size_t i = prefix.size(); i < header.size(); ++i) {
    if (header[i] == '%' && i + 2 < header.size()) {
      const std::string hex(header.substr(i + 1, 2));
      char* end = nullptr;
      const long v = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        name += static_cast<char>(v);
        i += 2;
        continue;
      }
    }
    name += header[i];
  }
  return Utf8ToUtf16(name);
}

// A field name is printable ASCII without a colon.
bool IsFieldName(const char* name) {
  if (!name || !*name) return false;
  for (const char* c = name; *c; ++c)
    if (*c < 33 || *c > 126 || *c == ':') return false;
  return true;
}

// GMime writes headers as they were read, so two kinds of damaged header
// lines are mended once on reading:
// - a line cut off by the end of the file keeps no line break: a header set
//   after it, or the blank line before a body given to the part, would run
//   on into that line;
// - a line without a field name (": v") is passed over in the middle of a
//   header block but ends it when it comes first, which it does once the
//   headers before it are replaced: the message would no longer read back.
void RepairHeaderLines(GMimeObject* object) {
  if (!object) return;
  GMimeHeaderList* headers = g_mime_object_get_header_list(object);
  for (int i = headers ? g_mime_header_list_get_count(headers) - 1 : -1; i >= 0; --i)
    if (!IsFieldName(g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i))))
      g_mime_header_list_remove_at(headers, i);
  const int count = headers ? g_mime_header_list_get_count(headers) : 0;
  for (int i = 0; i < count; ++i) {
    GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
    const char* raw = g_mime_header_get_raw_value(header);
    if (!raw) continue;
    const std::string_view value(raw);
    if (value.empty() || value.back() != '\n') g_mime_header_set_raw_value(header, (std::string(value) + "\n").c_str());
  }
  if (GMIME_IS_MESSAGE(object)) {
    RepairHeaderLines(g_mime_message_get_mime_part(GMIME_MESSAGE(object)));
  } else if (GMIME_IS_MULTIPART(object)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    const int parts = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < parts; ++i) RepairHeaderLines(g_mime_multipart_get_part(multipart, i));
  } else if (GMIME_IS_MESSAGE_PART(object)) {
    GMimeMessage* embedded = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
    if (embedded) RepairHeaderLines(AsObject(embedded));
  }
}

}  // namespace

void EnsureGMime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

Message::Message(std::u16string_view messageClass) {
  EnsureGMime();
  message_ = g_mime_message_new(TRUE);
  g_mime_message_set_message_id(message_, TakeString(g_mime_utils_generate_message_id(kMessageIdDomain)).c_str());
  SetMessageClass(messageClass);
}

Message::~Message() { g_object_unref(message_); }

std::unique_ptr<Message> Message::Parse(const std::string& bytes) {
  EnsureGMime();
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  g_object_unref(parser);
  g_object_unref(stream);
  if (!message) return nullptr;
  RepairHeaderLines(AsObject(message));
  return std::unique_ptr<Message>(new Message(message));
}

std::string Message::Serialize() const { return TakeString(g_mime_object_to_string(AsObject(message_), nullptr)); }

std::u16string Message::Subject() const { return Utf16(g_mime_message_get_subject(message_)); }
void Message::SetSubject(std::u16string_view subject) {
  g_mime_message_set_subject(message_, Utf8(subject).c_str(), "utf-8");
}

std::u16string Message::HtmlBody() const { return PartText(FindTextPart(message_, "html")); }
void Message::SetHtmlBody(std::u16string_view html) { SetBodyPart(message_, "html", Utf8(html)); }

std::u16string Message::TextBody() const {
  if (GMimeTextPart* plain = FindTextPart(message_, "plain")) return PartText(plain);
  return HtmlToText(HtmlBody());
}
void Message::SetTextBody(std::u16string_view text) { SetBodyPart(message_, "plain", Utf8(text)); }

std::u16string Message::Categories() const { return Utf16(g_mime_object_get_header(AsObject(message_), "Keywords")); }
void Message::SetCategories(std::u16string_view categories) {
  SetOrRemoveHeader(message_, "Keywords", Utf8(categories));
}

std::int32_t Message::Importance() const {
  const std::u16string importance = Utf16(g_mime_object_get_header(AsObject(message_), "Importance"));
  if (EqualsIgnoreCase(importance, u"high")) return 2;
  if (EqualsIgnoreCase(importance, u"low")) return 0;
  if (EqualsIgnoreCase(importance, u"normal")) return 1;
  const char* priority = g_mime_object_get_header(AsObject(message_), "X-Priority");
  while (priority && (*priority == ' ' || *priority == '\t')) ++priority;
  if (priority && (*priority == '1' || *priority == '2')) return 2;
  if (priority && (*priority == '4' || *priority == '5')) return 0;
  return 1;
}

void Message::SetImportance(std::int32_t importance) {
  if (importance >= 2) {
    SetOrRemoveHeader(message_, "Importance", "high");
    SetOrRemoveHeader(message_, "X-Priority", "1 (Highest)");
  } else if (importance <= 0) {
    SetOrRemoveHeader(message_, "Importance", "low");
    SetOrRemoveHeader(message_, "X-Priority", "5 (Lowest)");
  } else {
    SetOrRemoveHeader(message_, "Importance", "");
    SetOrRemoveHeader(message_, "X-Priority", "");
  }
}

std::u16string Message::MessageClass() const {
  const char* value = g_mime_object_get_header(AsObject(message_), kClassHeader);
  return value && *value ? Utf8ToUtf16(value) : u"IPM.Note";
}
void Message::SetMessageClass(std::u16string_view messageClass) {
  SetOrRemoveHeader(message_, kClassHeader, Utf8(messageClass));
}

std::u16string Message::To() const {
  InternetAddressList* to = g_mime_message_get_addresses(message_, GMIME_ADDRESS_TYPE_TO);
  if (!to || internet_address_list_length(to) == 0) return {};
  return Utf8ToUtf16(TakeString(internet_address_list_to_string(to, nullptr, FALSE)));
}
void Message::SetTo(std::u16string_view to) {
  InternetAddressList* list = g_mime_message_get_addresses(message_, GMIME_ADDRESS_TYPE_TO);
  internet_address_list_clear(list);
  if (to.empty()) return;
  InternetAddressList* parsed = internet_address_list_parse(nullptr, Utf8(to).c_str());
  if (!parsed) return;
  internet_address_list_append(list, parsed);
  g_object_unref(parsed);
}

std::vector<std::pair<std::u16string, std::u16string>> Message::UserProperties() const {
  std::vector<std::pair<std::u16string, std::u16string>> properties;
  GMimeHeaderList* headers = g_mime_object_get_header_list(AsObject(message_));
  const int count = g_mime_header_list_get_count(headers);
  for (int i = 0; i < count; ++i) {
    GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
    const char* name = g_mime_header_get_name(header);
    if (!name) continue;
    if (auto property = PropertyNameFromHeader(name)) {
      bool seen = false;
      for (const auto& p : properties) seen = seen || EqualsIgnoreCase(p.first, *property);
      if (!seen) properties.emplace_back(*property, Utf16(g_mime_header_get_value(header)));
    }
  }
  return properties;
}

void Message::SetUserProperty(std::u16string_view name, std::u16string_view value) {
  // Drop every spelling of the name first (case, and escapes another tool
  // chose differently), so one header remains.
  GMimeHeaderList* headers = g_mime_object_get_header_list(AsObject(message_));
  for (int i = g_mime_header_list_get_count(headers) - 1; i >= 0; --i) {
    const char* existing = g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i));
    if (!existing) continue;
    const auto property = PropertyNameFromHeader(existing);
    if (property && EqualsIgnoreCase(*property, name)) g_mime_header_list_remove_at(headers, i);
  }
  const std::string header = PropertyHeaderName(name);
  g_mime_object_append_header(AsObject(message_), header.c_str(), Utf8(value).c_str(), "utf-8");
}

Mailbox Message::From() const {
  return ReadMailbox(message_, g_mime_message_get_from(message_), kFromTypeHeader).value_or(Mailbox{});
}

void Message::SetFrom(const Mailbox& mailbox) {
  const auto separate = ReadMailbox(message_, g_mime_message_get_sender(message_), kSenderTypeHeader);
  WriteMailbox(message_, g_mime_message_get_from(message_), "From", kFromTypeHeader, mailbox);
  if (separate) SetSender(*separate);  // kept only while it differs from From
}

Mailbox Message::Sender() const {
  if (auto sender = ReadMailbox(message_, g_mime_message_get_sender(message_), kSenderTypeHeader)) return *sender;
  return From();
}

void Message::SetSender(const Mailbox& mailbox) {
  const Mailbox from = From();
  WriteMailbox(message_, g_mime_message_get_sender(message_), "Sender", kSenderTypeHeader,
               mailbox == from ? Mailbox{u"", u"", u"SMTP"} : mailbox);
}

std::optional<std::int64_t> Message::Date() const {
  GDateTime* date = g_mime_message_get_date(message_);
  if (!date) return std::nullopt;
  return g_date_time_to_unix(date);
}

void Message::SetDate(std::int64_t seconds) {
  GDateTime* date = g_date_time_new_from_unix_utc(seconds);
  if (!date) return;
  g_mime_message_set_date(message_, date);
  g_date_time_unref(date);
}

std::optional<std::int64_t> Message::CreationTime() const {
  return ParseDate(g_mime_object_get_header(AsObject(message_), kCreatedHeader));
}
void Message::SetCreationTime(std::int64_t seconds) { SetOrRemoveHeader(message_, kCreatedHeader, FormatDate(seconds)); }

std::optional<std::int64_t> Message::LastModificationTime() const {
  return ParseDate(g_mime_object_get_header(AsObject(message_), kModifiedHeader));
}
void Message::SetLastModificationTime(std::int64_t seconds) {
  SetOrRemoveHeader(message_, kModifiedHeader, FormatDate(seconds));
}

std::uint32_t Message::ExtraFlags() const {
  const char* value = g_mime_object_get_header(AsObject(message_), kFlagsHeader);
  if (!value) return 0;
  const std::int64_t flags = ParseInt64(value);
  if (flags < 0 || flags > 0xFFFFFFFFll) return 0;
  return static_cast<std::uint32_t>(flags) & ~1u;
}

void Message::SetExtraFlags(std::uint32_t flags) {
  flags &= ~1u;
  SetOrRemoveHeader(message_, kFlagsHeader, flags ? std::to_string(flags) : std::string());
}

std::vector<Attachment> Message::Attachments() const {
  std::vector<Attachment> attachments;
  std::vector<GMimeObject*> leaves;
  CollectLeaves(g_mime_message_get_mime_part(message_), leaves);
  for (GMimeObject* leaf : leaves) {
    if (!IsAttachmentPart(leaf)) continue;
    GMimePart* part = GMIME_PART(leaf);
    Attachment attachment;
    attachment.fileName = Utf16(g_mime_part_get_filename(part));
    GMimeContentType* type = g_mime_object_get_content_type(leaf);
    if (type) attachment.mimeType = Utf8ToUtf16(TakeString(g_mime_content_type_get_mime_type(type)));
    if (GMimeDataWrapper* content = g_mime_part_get_content(part)) {
      GMimeStream* out = g_mime_stream_mem_new();
      g_mime_data_wrapper_write_to_stream(content, out);
      GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
      if (bytes) attachment.data.assign(reinterpret_cast<const char*>(bytes->data), bytes->len);
      g_object_unref(out);
    }
    attachments.push_back(std::move(attachment));
  }
  return attachments;
}

}  // namespace mailstore
