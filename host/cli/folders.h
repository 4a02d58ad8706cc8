// Mail folders by name for the command line: "Twitter", or a path such as
// "Twitter/Searches", below the Inbox; "Inbox" is the Inbox itself.
#pragma once

#include <string>

namespace cli {

struct FolderIds {
  std::u16string entryId;
  std::u16string storeId;
};

// Finds the folder, creating each missing level when `create` is set.
// False with a message on standard error when it cannot be had.
bool FolderByPath(const std::string& path, bool create, FolderIds* ids);
// The folder's name for display ("Inbox" for an empty id or one that no
// longer resolves, as deliveries then go to the Inbox).
std::string FolderNameOf(const std::u16string& entryId, const std::u16string& storeId);

}  // namespace cli
