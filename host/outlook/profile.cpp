// The process's stores: one object per Maildir root, and the profile's.
#include <map>
#include <mutex>

#include "host/outlook/host_objects.h"

namespace outlook_host {
namespace {

std::mutex g_mutex;
std::map<std::string, std::weak_ptr<mailstore::MailStore>> g_stores;
std::shared_ptr<mailstore::MailStore> g_profileStore;

}  // namespace

std::shared_ptr<mailstore::MailStore> OpenSharedStore(const std::string& root, std::string* error) {
  std::lock_guard lock(g_mutex);
  if (auto it = g_stores.find(root); it != g_stores.end())
    if (auto store = it->second.lock()) return store;
  auto store = mailstore::MailStore::Open(root, error);
  if (!store) return nullptr;
  // The same tree may be reached through another spelling of its path.
  if (auto it = g_stores.find(store->root()); it != g_stores.end())
    if (auto existing = it->second.lock()) store = existing;
  g_stores[root] = store;
  g_stores[store->root()] = store;
  return store;
}

void SetProfileStore(std::shared_ptr<mailstore::MailStore> store) {
  std::lock_guard lock(g_mutex);
  g_profileStore = std::move(store);
}

std::shared_ptr<mailstore::MailStore> ProfileStore(std::string* error) {
  {
    std::lock_guard lock(g_mutex);
    if (g_profileStore) return g_profileStore;
  }
  return OpenSharedStore(mailstore::MailStore::DefaultRoot(), error);
}

}  // namespace outlook_host
