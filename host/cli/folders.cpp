#include "host/cli/folders.h"

#include <cstdio>
#include <vector>

#include "host/cli/addin_bridge.h"
#include "platform/com/variant.h"
#include "platform/text.h"

namespace cli {
namespace {

constexpr LONG kInbox = 6;

std::vector<std::u16string> SplitPath(const std::string& path) {
  std::vector<std::u16string> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    const auto slash = path.find('/', pos);
    const std::string part = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    if (!part.empty()) parts.push_back(Utf8ToUtf16(part));
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
  return parts;
}

ComPtr<_NameSpace> Session() {
  ComPtr<_NameSpace> ns;
  if (ComPtr<_Application> app = Application()) app->get_Session(ns.put());
  return ns;
}

}  // namespace

bool FolderByPath(const std::string& path, bool create, FolderIds* ids) {
  const std::vector<std::u16string> parts = SplitPath(path);
  ComPtr<_NameSpace> ns = Session();
  ComPtr<MAPIFolder> folder;
  if (!ns || FAILED(ns->GetDefaultFolder(kInbox, folder.put())) || !folder) {
    std::fprintf(stderr, "wrenvia: the mail store has no Inbox\n");
    return false;
  }
  std::size_t first = 0;
  if (!parts.empty() && EqualsIgnoreCase(parts[0], u"Inbox")) first = 1;
  for (std::size_t i = first; i < parts.size(); ++i) {
    ComPtr<_Folders> children;
    if (FAILED(folder->get_Folders(children.put())) || !children) return false;
    ComPtr<MAPIFolder> child;
    if (FAILED(children->Item(VariantText(parts[i]), child.put())) || !child) {
      if (!create) {
        std::fprintf(stderr, "wrenvia: there is no folder '%s'\n", path.c_str());
        return false;
      }
      child.Reset();
      if (FAILED(children->Add(BSTR(parts[i]), VariantOmitted(), child.put())) || !child) {
        std::fprintf(stderr, "wrenvia: the folder '%s' cannot be created\n", path.c_str());
        return false;
      }
    }
    folder = child;
  }
  BSTR entryId, storeId;
  if (FAILED(folder->get_EntryID(&entryId)) || FAILED(folder->get_StoreID(&storeId))) return false;
  ids->entryId = entryId;
  ids->storeId = storeId;
  return true;
}

std::string FolderNameOf(const std::u16string& entryId, const std::u16string& storeId) {
  if (entryId.empty()) return "Inbox";
  ComPtr<_NameSpace> ns = Session();
  ComPtr<MAPIFolder> folder;
  const VARIANT store = storeId.empty() ? VariantOmitted() : VariantText(storeId);
  if (!ns || FAILED(ns->GetFolderFromID(BSTR(entryId), store, folder.put())) || !folder) return "Inbox";
  BSTR name;
  if (FAILED(folder->get_Name(&name))) return "Inbox";
  return Utf16ToUtf8(name);
}

}  // namespace cli
