#include "host/cli/addin_bridge.h"

#include <cstdio>

#include "diag/logging.h"
#include "host/mailstore/maildir.h"
#include "host/outlook/application.h"
#include "settings/migrate.h"
#include "store/item_store.h"
#include "store/outlook_access.h"

namespace cli {

void StartAddin() {
  MigrateOldSettings();
  InitLogging();
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
