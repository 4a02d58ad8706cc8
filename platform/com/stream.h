// IStream, small: a seekable byte stream (attachment data, upload bodies,
// and the carrier of an interface marshalled to another thread).
#pragma once

#include <string>

#include "platform/com/unknown.h"

constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;

struct STATSTG {
  ULONGLONG cbSize = 0;
};

struct IStream : IUnknown {
  static constexpr IID kIid = OleGuid(0x0000000C);

  // Reads up to `size` bytes; *read gets the count (0 at the end), S_OK.
  virtual HRESULT Read(void* data, ULONG size, ULONG* read) = 0;
  virtual HRESULT Write(const void* data, ULONG size, ULONG* written) = 0;
  virtual HRESULT Seek(LONGLONG move, DWORD origin, ULONGLONG* newPosition) = 0;
  virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
};
using LPSTREAM = IStream*;

// A growable stream in memory, of at most 1 GiB: a seek past that fails
// with STG_E_INVALIDFUNCTION, and a write that would grow the stream past
// it (or finds no memory) with E_OUTOFMEMORY, the stream unchanged.
// `global` must be null (there are no global memory handles here); the
// memory always goes with the stream.
HRESULT CreateStreamOnHGlobal(void* global, BOOL deleteOnRelease, IStream** stream);
// A stream over a copy of `bytes`, positioned at the start.
HRESULT CreateStreamOnBytes(std::string bytes, IStream** stream);
