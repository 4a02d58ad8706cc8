// The rolling diagnostic log "Wrenvia.log" in the data folder's "Logs"
// folder. Components log through log4cpp categories with short lower-case
// names ("tap", "twr", "sql" ...); a message starts with a short operation
// code and ": ", and a failed step reads "%s failed. 0x%lx",
// "%s failed. le %lu %lx" or "%s failed. NULL.".
#pragma once

#include <log4cpp/Category.hh>

#include <string>

// Reads "DebugLog" and sets up the root appender. Safe to call again (the
// previous appender is replaced).
void InitLogging();

// The log file's full path (data folder + "Logs/" + "Wrenvia.log").
std::u16string LogFilePath();

// Shorthand for a category by name.
inline log4cpp::Category& LogCategory(const char* name) { return log4cpp::Category::getInstance(name); }
