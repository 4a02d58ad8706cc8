#include "host/cli/addin_bridge.h"

#include "diag/logging.h"
#include "settings/migrate.h"

namespace cli {

void StartAddin() {
  MigrateOldSettings();
  InitLogging();
}

}  // namespace cli
