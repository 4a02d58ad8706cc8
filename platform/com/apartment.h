// COM apartments and handing an interface to another thread.
//
// Every object of this platform and its mail-client host is free-threaded:
// its reference count is atomic and its state is guarded by its own lock, so
// a reference may be used on any thread. Marshalling therefore carries the
// object itself: the stream holds one reference, and unmarshalling on the
// other thread hands that reference out (queried for the interface asked
// for). The calls still keep the COM contract the add-in is written to -
// marshal once, unmarshal once, the stream released by the unmarshal - so
// code that follows it stays correct should a proxy ever be put in between.
#pragma once

#include "platform/com/stream.h"

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Counts per thread: the first call gives S_OK, later ones S_FALSE, a call
// asking for the other apartment kind RPC_E_CHANGED_MODE. Each successful
// call is balanced by one CoUninitialize.
HRESULT CoInitializeEx(void* reserved, DWORD coinit);
void CoUninitialize();

// Puts one reference to `object` (queried for `iid`) into a new stream.
HRESULT CoMarshalInterThreadInterfaceInStream(REFIID iid, IUnknown* object, IStream** stream);
// Takes the reference out of a stream made by the call above, queried for
// `iid`, and releases the stream in every case. A stream already unmarshalled
// gives E_UNEXPECTED.
HRESULT CoGetInterfaceAndReleaseStream(IStream* stream, REFIID iid, void** object);
