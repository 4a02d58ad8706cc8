#include "stats/sqlite_wrapper.h"

#include <sqlite3.h>

#include "diag/data_folder.h"
#include "diag/logging.h"
#include "platform/known_folders.h"
#include "platform/text.h"

namespace nevlora {
namespace {

constexpr int kBusyTimeoutMs = 2000;

log4cpp::Category& WrapperLog() { return LogCategory("slw"); }
log4cpp::Category& SqlLog() { return LogCategory("sql"); }

// Failures that say the file itself is no database, or a broken one: only
// then is starting anew worth its counts. Every other failure (a lock held
// past the busy timeout, a full disk, no descriptor or no memory left, an
// I/O error, a read-only file) leaves a file that may hold sound data.
bool FileIsBad(int code) { return code == SQLITE_NOTADB || code == SQLITE_CORRUPT; }

bool FileExists(const std::u16string& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

CSqliteWrapper::~CSqliteWrapper() { CSqliteWrapper::Close(); }

int CSqliteWrapper::Open(const std::u16string& path) {
  m_path = path;
  const int rc = OpenConnection();
  if (rc == SQLITE_OK) return rc;
  if (FileIsBad(rc)) {
    DeleteFileW(m_path.c_str());
    // A journal left beside the deleted file would be played into the new
    // database.
    DeleteFileW((m_path + u"-journal").c_str());
  } else if (rc != SQLITE_CANTOPEN || FileExists(m_path)) {
    return rc;
  }
  // A bad file is gone, or there was none because its folder is missing.
  CreateFolderChain(m_path);
  return OpenConnection();
}

int CSqliteWrapper::EnsureOpen() {
  if (m_db) return SQLITE_OK;
  WrapperLog().error("ri");
  return OpenConnection();
}

int CSqliteWrapper::BeginTransaction() {
  if (!m_db) return SQLITE_ERROR;
  const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  ReportError(rc);
  return rc;
}

int CSqliteWrapper::Commit() {
  if (!m_db) return SQLITE_ERROR;
  const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
  ReportError(rc);
  return rc;
}

int CSqliteWrapper::Rollback() {
  if (!m_db) return SQLITE_ERROR;
  // Runs after every commit as a safety net; "no transaction is active" is
  // its usual answer and not worth a log line.
  return sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void CSqliteWrapper::Close() { CloseHandle(); }

void CSqliteWrapper::CloseHandle() {
  if (!m_db) return;
  // close_v2 lets a statement still being finalized by a caller outlive the
  // handle safely.
  sqlite3_close_v2(m_db);
  m_db = nullptr;
}

int CSqliteWrapper::OpenConnection() {
  if (m_db) return SQLITE_OK;
  const std::string path = Utf16ToUtf8(m_path);
  WrapperLog().debug("ini: %s", path.c_str());

  m_lastOp = OpOpenFile;
  int rc = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc == SQLITE_OK) {
    m_lastOp = OpBusyTimeout;
    rc = sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
  }
  if (rc == SQLITE_OK) {
    m_lastOp = OpReadVersion;
    bool nonZero = false;
    rc = ReadUserVersion(&nonZero);
    if (rc == SQLITE_OK && !nonZero) {
      m_lastOp = OpCreateSchema;
      rc = CreateSchema();
    }
  }
  if (rc == SQLITE_OK) {
    m_lastOp = OpConnectionPragmas;
    rc = sqlite3_exec(m_db, GetConnectionPragmas(), nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    ReportError(rc);
    CloseHandle();
  }
  return rc;
}

int CSqliteWrapper::ReadUserVersion(bool* nonZero) {
  if (!m_db) return SQLITE_ERROR;
  sqlite3_stmt* stmt = nullptr;
  m_lastOp = OpPrepareVersion;
  int rc = sqlite3_prepare_v2(m_db, "PRAGMA main.user_version", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) {
    m_lastOp = OpStepVersion;
    rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      m_lastOp = OpReadVersionColumn;
      *nonZero = sqlite3_column_int64(stmt, 0) != 0;
      rc = SQLITE_OK;
    }
  }
  ReportError(rc);
  sqlite3_finalize(stmt);
  return rc;
}

int CSqliteWrapper::CreateSchema() {
  if (!m_db) return SQLITE_ERROR;
  m_lastOp = OpSchemaScript;
  // Only the commit decides: the version is set in its own transaction
  // first, so a failed script is not run again by later opens.
  sqlite3_exec(m_db, GetCreatePragmas(), nullptr, nullptr, nullptr);
  sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  sqlite3_exec(m_db, GetSchemaSql(), nullptr, nullptr, nullptr);
  const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
  ReportError(rc);
  return rc;
}

const char* CSqliteWrapper::GetCreatePragmas() {
  return "pragma page_size=4096;PRAGMA auto_vacuum=1;BEGIN IMMEDIATE ;PRAGMA main.user_version=1;COMMIT;";
}

const char* CSqliteWrapper::GetConnectionPragmas() { return "PRAGMA synchronous=NORMAL;PRAGMA cache_size=20000;"; }

void CSqliteWrapper::ReportError(int code) {
  if (!m_db || code == SQLITE_OK || code >= SQLITE_ROW || code == SQLITE_NOTFOUND) return;
  SqlLog().error("tre: se: %d %s. lastop: %d\n", code, sqlite3_errmsg(m_db), m_lastOp);
  if (code == SQLITE_CORRUPT) {
    Close();
    const BOOL deleted = DeleteFileW(m_path.c_str());
    const DWORD error = GetLastError();
    if (deleted) DeleteFileW((m_path + u"-journal").c_str());
    SqlLog().error("tre: df %d %ld %s", deleted ? 1 : 0, static_cast<long>(error), Utf16ToAnsi(m_path).c_str());
  } else if (code == SQLITE_FULL) {
    // Nothing more fits; the file keeps what it has.
    Close();
  }
}

}  // namespace nevlora
