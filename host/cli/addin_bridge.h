// Until the add-in is loaded as a module, the command line wires it here, in
// one place: the settings migration and the log, as the add-in's connection
// does, and the mail client's application over the user's Maildir.
#pragma once

#include <string>

#include "addin/import/outlook.h"
#include "platform/com/com_ptr.h"

namespace cli {

void StartAddin();

// Creates the application over the Maildir ($MAILDIR, else ~/Maildir) and
// hands it to the add-in. False, with a message on standard error, when the
// store cannot be opened.
bool ConnectMailStore();
// Hands the application back and releases the add-in's references to it.
void DisconnectMailStore();
// The application handed to the add-in (none before ConnectMailStore).
ComPtr<_Application> Application();
// The Maildir root in use.
std::string MaildirRoot();

}  // namespace cli
