// The saved-search cycle: every saved search once, new results stored in the
// search's folder, one sound for all of them.
#pragma once

#include <cstddef>

#include "engine/cycle_report.h"

class CTwitterAccount;
class CSearchOpts;
namespace nevlora {
class CTwitterRunner;
}

void RunSavedSearches(nevlora::CTwitterRunner& runner, CycleReport* report = nullptr);
// One search, by its position in the account's list. `count` receives the
// number of results the search returned (0 on failure).
void RunSavedSearch(nevlora::CTwitterRunner& runner, CTwitterAccount& account, std::size_t index, int& count,
                    CycleReport* report = nullptr);
