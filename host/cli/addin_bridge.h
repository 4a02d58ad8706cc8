// Until the add-in is loaded as a module, the command line starts it here, in
// one place: the settings migration and the log, as the add-in's connection
// does.
#pragma once

namespace cli {
void StartAddin();
}
