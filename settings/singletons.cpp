#include "settings/account.h"
#include "settings/options.h"
#include "settings/test_hooks.h"

// Created on first use (thread-safe local statics) and never destroyed: the
// worker thread may still read them while the process ends.
CPLOpts& GetOptions() {
  static CPLOpts* const options = [] {
    auto* o = new CPLOpts();
    o->Load();
    return o;
  }();
  return *options;
}

CTwitterAccount& GetAccount() {
  static CTwitterAccount* const account = [] {
    auto* a = new CTwitterAccount();
    a->Load();
    return a;
  }();
  return *account;
}

void ReloadSettingsForTests() {
  {
    CPLOpts& o = GetOptions();
    auto guard = o.Lock();
    o = CPLOpts();
    o.Load();
  }
  CTwitterAccount& a = GetAccount();
  auto guard = a.Lock();
  a = CTwitterAccount();
  a.Load();
}
