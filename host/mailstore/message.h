// One stored item as an RFC 5322 MIME message, read and written with GMime.
// Standard headers carry what they can: Subject, Date (the client-submit
// time), From (and Sender when it differs), Importance with X-Priority,
// Keywords for the categories, and the body as an HTML part in UTF-8. What
// has no standard header travels in X-Wrenvia-* headers: the message class,
// each user property, the address types of the sender mailboxes, the MAPI
// flags beyond "read", and the creation and modification times.
//
// A mailbox whose address type is not SMTP is written as
// "Name <address@type.invalid>" (screen name "alice" of type TWITTER:
// <alice@twitter.invalid>): a well-formed address that mail programs show
// and that can never be delivered to anybody (.invalid is reserved), with
// the exact type in X-Wrenvia-From-Type / X-Wrenvia-Sender-Type.
//
// A message read from a file keeps every header and part it came with;
// setting a value changes only the headers it maps to. Not thread-safe: the
// owner locks.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

typedef struct _GMimeMessage GMimeMessage;

namespace mailstore {

// A sender as the mail client keeps it (UTF-16, as the add-in sees it).
struct Mailbox {
  std::u16string name;
  std::u16string address;  // e-mail address, or the address within its type
  std::u16string addressType = u"SMTP";

  bool empty() const { return name.empty() && address.empty(); }
  bool operator==(const Mailbox&) const = default;
};

struct Attachment {
  std::u16string fileName;
  std::u16string mimeType;
  std::string data;  // decoded content
};

class Message {
 public:
  // An empty message (no body) of the given class.
  explicit Message(std::u16string_view messageClass);
  ~Message();
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;

  // nullptr when `bytes` is not a MIME message.
  static std::unique_ptr<Message> Parse(const std::string& bytes);
  std::string Serialize() const;

  std::u16string Subject() const;
  void SetSubject(std::u16string_view subject);
  // The HTML part's text, or empty.
  std::u16string HtmlBody() const;
  // Replaces the HTML part, or adds one. Nothing else is lost: with a
  // plain-text body the two become multipart/alternative (plain first), and
  // a body that is an attachment or other part is kept beside the new one
  // in multipart/mixed.
  void SetHtmlBody(std::u16string_view html);
  // The plain-text part, else the HTML part without its markup.
  std::u16string TextBody() const;
  // The same for the plain-text part.
  void SetTextBody(std::u16string_view text);
  std::u16string Categories() const;
  void SetCategories(std::u16string_view categories);
  // 0 low, 1 normal, 2 high.
  std::int32_t Importance() const;
  void SetImportance(std::int32_t importance);
  std::u16string MessageClass() const;
  void SetMessageClass(std::u16string_view messageClass);
  std::u16string To() const;
  void SetTo(std::u16string_view to);

  std::vector<std::pair<std::u16string, std::u16string>> UserProperties() const;
  // Adds or replaces (names compare ignoring case).
  void SetUserProperty(std::u16string_view name, std::u16string_view value);

  // From; an empty mailbox when there is none.
  Mailbox From() const;
  void SetFrom(const Mailbox& mailbox);
  // Sender, or From when there is no separate sender.
  Mailbox Sender() const;
  void SetSender(const Mailbox& mailbox);

  // Times in seconds since 1970 UTC; nullopt when absent or unreadable.
  std::optional<std::int64_t> Date() const;
  void SetDate(std::int64_t seconds);
  std::optional<std::int64_t> CreationTime() const;
  void SetCreationTime(std::int64_t seconds);
  std::optional<std::int64_t> LastModificationTime() const;
  void SetLastModificationTime(std::int64_t seconds);

  // MAPI message flags other than "read" (which is the Maildir S flag).
  std::uint32_t ExtraFlags() const;
  void SetExtraFlags(std::uint32_t flags);

  // Parts that are attachments (a disposition of "attachment", or a file
  // name), in message order.
  std::vector<Attachment> Attachments() const;

 private:
  explicit Message(GMimeMessage* message) : message_(message) {}
  GMimeMessage* message_;
};

// GMime is initialised once per process before its first use.
void EnsureGMime();

}  // namespace mailstore
