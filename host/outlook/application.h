// The mail-client stand-in's application object over a Maildir++ store: what
// the command-line host creates and hands to the add-in.
//
//   ComPtr<_Application> app;
//   std::string error;
//   if (FAILED(CreateOutlookApplication("", nullptr, app.put(), &error))) ...
//   SetOutlookApplication(app.get());
#pragma once

#include <string>

#include "addin/import/outlook.h"
#include "host/outlook/host_objects.h"

// Opens (creating when missing) the Maildir at `maildirRoot` - empty for
// $MAILDIR, else ~/Maildir - with its default folders, and returns an
// application over it. `pickFolder` answers the session's PickFolder (none:
// every pick is cancelled). The store also becomes the one MAPILogonEx logs
// on to. Fails with E_FAIL and a message in *error when the store cannot be
// opened or created.
HRESULT CreateOutlookApplication(const std::string& maildirRoot, outlook_host::PickFolderHandler pickFolder,
                                 _Application** application, std::string* error);

// The version the application reports.
constexpr char16_t kHostOutlookVersion[] = u"12.0.0.0";
