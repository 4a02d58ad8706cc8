// One SQLite connection to one database file, for a store derived from it:
// opening with self-repair, a one-step schema version on
// PRAGMA main.user_version, immediate transactions and uniform error
// reporting that discards a corrupt file. Every operation returns a SQLite
// result code (0 = success); nothing is thrown.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;

namespace nevlora {

class CSqliteWrapper {
 public:
  // Codes of the step in progress, printed with every error.
  enum LastOperation : std::int32_t {
    OpOpenFile = 100,
    OpBusyTimeout = 101,
    OpReadVersion = 103,
    OpCreateSchema = 104,
    OpConnectionPragmas = 105,
    OpPrepareVersion = 200,
    OpStepVersion = 201,
    OpReadVersionColumn = 202,
    OpSchemaScript = 300,
  };

  CSqliteWrapper() = default;
  CSqliteWrapper(const CSqliteWrapper&) = delete;
  CSqliteWrapper& operator=(const CSqliteWrapper&) = delete;

  virtual ~CSqliteWrapper();
  // Stores the path and opens. A file that is not a database, or a corrupt
  // one, is deleted and created anew once; a missing folder chain is
  // created and the open tried once more. Any other failure (busy, full,
  // I/O, no descriptors, read-only) keeps the file and is the result.
  virtual int Open(const std::u16string& path);
  // 0 when open; otherwise logs and runs OpenConnection.
  virtual int EnsureOpen();
  virtual int BeginTransaction();
  virtual int Commit();
  virtual int Rollback();
  virtual void Close();
  virtual int OpenConnection();
  virtual int ReadUserVersion(bool* nonZero);
  virtual int CreateSchema();
  virtual const char* GetCreatePragmas();
  virtual const char* GetConnectionPragmas();
  virtual const char* GetSchemaSql() = 0;

  // Logs an error code (1 to 99, except 12) with the last operation; a
  // corrupt database (11) is closed and its file deleted, and a full one
  // (13) is closed with its file kept. Nothing happens while closed.
  void ReportError(int code);

  bool IsOpen() const { return m_db != nullptr; }
  const std::u16string& path() const { return m_path; }

 protected:
  sqlite3* m_db = nullptr;
  std::int32_t m_lastOp = 0;
  std::u16string m_path;

 private:
  // Closes the handle without the derived store's clean-up (used while the
  // open sequence fails, when the store has prepared nothing yet).
  void CloseHandle();
};

}  // namespace nevlora
