// Message files in the tree may have been written by any mail program:
// reading every value the add-in reads must survive any bytes, a message
// that was read must be written back readable, and a value the add-in sets
// on it must read back as set.
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/mailstore/message.h"

namespace {

void ReadEverything(const mailstore::Message& message) {
  (void)message.Subject();
  (void)message.HtmlBody();
  (void)message.TextBody();
  (void)message.Categories();
  (void)message.Importance();
  (void)message.MessageClass();
  (void)message.To();
  (void)message.UserProperties();
  (void)message.From();
  (void)message.Sender();
  (void)message.Date();
  (void)message.CreationTime();
  (void)message.LastModificationTime();
  (void)message.ExtraFlags();
  (void)message.Attachments();
}

// A GLib critical is a library call made with arguments it rejects: treat it
// as the fault it is rather than a line on stderr.
void FailOnCritical(const gchar* domain, GLogLevelFlags, const gchar* text, gpointer) {
  g_printerr("critical from %s: %s\n", domain ? domain : "?", text ? text : "");
  __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mailstore::EnsureGMime();
  g_log_set_default_handler(
      [](const gchar* domain, GLogLevelFlags level, const gchar* text, gpointer data) {
        if (level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR)) FailOnCritical(domain, level, text, data);
      },
      nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  auto message = mailstore::Message::Parse(bytes);
  if (!message) return 0;
  ReadEverything(*message);

  auto reread = mailstore::Message::Parse(message->Serialize());
  if (!reread) __builtin_trap();
  ReadEverything(*reread);

  // What the add-in does to a stored item when it updates it.
  message->SetUserProperty(u"TwitterStatusId", u"6346541");
  message->SetCategories(u"Twitter");
  message->SetExtraFlags(8);
  message->SetFrom(message->From());
  message->SetHtmlBody(message->HtmlBody());
  auto updated = mailstore::Message::Parse(message->Serialize());
  if (!updated) __builtin_trap();
  bool found = false;
  for (const auto& [name, value] : updated->UserProperties())
    if (name == u"TwitterStatusId") found = value == u"6346541";
  if (!found) __builtin_trap();
  if (updated->Categories() != u"Twitter" || updated->ExtraFlags() != 8) __builtin_trap();
  ReadEverything(*updated);
  return 0;
}
