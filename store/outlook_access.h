// The process-wide access to the mail client: its application object, the
// thread it was handed over on (the UI thread) and its major version.
// Safe from any thread.
#pragma once

#include "addin/import/outlook.h"

// Stores the application (or, with none, releases the stored one) and
// records the calling thread as the UI thread. While the major version is
// still unknown (0) it is taken from the application's Version text (its
// leading number: "12.0.6423.1000" gives 12).
void SetOutlookApplication(_Application* application);
// The stored application with a new reference, or E_POINTER when none.
HRESULT GetOutlookApplication(_Application** application);
// 0 until known.
int OutlookMajorVersion();
// The thread that last called SetOutlookApplication (0 before).
DWORD OutlookUiThreadId();
