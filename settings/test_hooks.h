// For tests only: the singletons forget their values and load again from the
// current profile's registry.
#pragma once

void ReloadSettingsForTests();
