#include "host/cli/addin_bridge.h"

#include <glib.h>

#include <cstdio>
#include <string>

#include "diag/logging.h"
#include "host/mailstore/maildir.h"
#include "host/outlook/application.h"
#include "settings/migrate.h"
#include "store/item_store.h"
#include "store/outlook_access.h"

namespace cli {
namespace {

// GMime and gdk-pixbuf report what they refuse through GLib, which prints
// on standard error: a damaged picture from the network would show up on
// the user's terminal. Their messages go to the log instead.
void LogLibraryMessage(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
  const std::string line = std::string("glib: ") + (domain ? domain : "GLib") + ": " + (message ? message : "");
  auto& log = LogCategory("lib");
  if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING))
    log.warn(line);
  else
    log.debug(line);
}

}  // namespace

void StartAddin() {
  MigrateOldSettings();
  InitLogging();
  g_log_set_default_handler(LogLibraryMessage, nullptr);
}

std::string MaildirRoot() { return mailstore::MailStore::DefaultRoot(); }

bool ConnectMailStore() {
  ComPtr<_Application> app;
  std::string error;
  if (FAILED(CreateOutlookApplication("", nullptr, app.put(), &error))) {
    std::fprintf(stderr, "wrenvia: the mail store %s cannot be opened: %s\n", MaildirRoot().c_str(), error.c_str());
    return false;
  }
  SetOutlookApplication(app.get());
  return true;
}

void DisconnectMailStore() {
  ReleaseMapiSession();
  SetOutlookApplication(nullptr);
}

ComPtr<_Application> Application() {
  ComPtr<_Application> app;
  GetOutlookApplication(app.put());
  return app;
}

}  // namespace cli
