#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <type_traits>

#include "addin/import/mapi.h"
#include "platform/com/apartment.h"
#include "platform/com/connection_point.h"
#include "platform/com/variant.h"

namespace {

std::atomic<int> g_alive{0};

struct IPing : IUnknown {
  static constexpr IID kIid = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
  virtual int Ping() = 0;
};
struct IOther : IUnknown {
  static constexpr IID kIid = {0x11111111, 0x2222, 0x3333, {8, 7, 6, 5, 4, 3, 2, 1}};
};

class CPing : public ComObject<IPing> {
 public:
  CPing() { ++g_alive; }
  ~CPing() override { --g_alive; }
  int Ping() override { return ++pings; }
  std::atomic<int> pings{0};
};

// A MAPI message that only counts itself, to see that QueryInterface
// answers for the interfaces it extends.
class CFakeMessage : public ComObject<IMessage> {
 public:
  CFakeMessage() { ++g_alive; }
  ~CFakeMessage() override { --g_alive; }
  HRESULT SaveChanges(ULONG) override { return S_OK; }
  HRESULT GetProps(const SPropTagArray*, ULONG, ULONG*, SPropValue**) override { return E_NOTIMPL; }
  HRESULT SetProps(ULONG, const SPropValue*, SPropProblemArray**) override { return E_NOTIMPL; }
  HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, IUnknown**) override { return E_NOTIMPL; }
  HRESULT GetAttachmentTable(ULONG, IMAPITable**) override { return E_NOTIMPL; }
  HRESULT OpenAttach(ULONG, LPCIID, ULONG, IAttach**) override { return E_NOTIMPL; }
};

TEST(ComObject, ReferencesAreReleasedOnEveryPath) {
  {
    ComPtr<IPing> ping = MakeComObject<CPing, IPing>();
    EXPECT_EQ(g_alive, 1);
    ComPtr<IOther> other;
    EXPECT_EQ(ping.As(&other), E_NOINTERFACE);
    EXPECT_FALSE(other);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(ping.As(&unknown), S_OK);
    ComPtr<IPing> again;
    ASSERT_EQ(unknown.As(&again), S_OK);
    EXPECT_EQ(again.get(), ping.get());
    ComPtr<IPing> copy = ping;
    copy = nullptr;
    IPing* raw = nullptr;
    ASSERT_EQ(ping.CopyTo(&raw), S_OK);
    raw->Release();
  }
  EXPECT_EQ(g_alive, 0);

  ComPtr<IMessage> message = MakeComObject<CFakeMessage, IMessage>();
  ComPtr<IMAPIProp> prop;
  EXPECT_EQ(message.As(&prop), S_OK);
  ComPtr<IAttach> attach;
  EXPECT_EQ(message.As(&attach), E_NOINTERFACE);
  message = nullptr;
  prop = nullptr;
  EXPECT_EQ(g_alive, 0);
}

TEST(ComGuid, TextFormRoundTripsAndRejectsMalformedText) {
  char16_t text[39];
  ASSERT_EQ(StringFromGUID2(IMessage::kIid, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{00020307-0000-0000-C000-000000000046}");
  GUID parsed{};
  ASSERT_EQ(CLSIDFromString(u"{00020307-0000-0000-c000-000000000046}", &parsed), S_OK);
  EXPECT_EQ(parsed, IMessage::kIid);
  EXPECT_EQ(CLSIDFromString(u"{00020307-0000-0000-C000-00000000004}", &parsed), E_INVALIDARG);
  EXPECT_EQ(CLSIDFromString(u"{00020307+0000-0000-C000-000000000046}", &parsed), E_INVALIDARG);
  EXPECT_EQ(CLSIDFromString(u"{0002030G-0000-0000-C000-000000000046}", &parsed), E_INVALIDARG);
  EXPECT_EQ(StringFromGUID2(IMessage::kIid, text, 38), 0);
}

TEST(ComVariant, OmittedArgumentsAndConversions) {
  EXPECT_TRUE(IsVariantOmitted(VariantOmitted()));
  EXPECT_TRUE(IsVariantOmitted(VARIANT{}));
  EXPECT_FALSE(IsVariantOmitted(VariantText(u"")));
  LONG n = 0;
  EXPECT_EQ(VariantToLong(VariantText(u"-42"), &n), S_OK);
  EXPECT_EQ(n, -42);
  EXPECT_EQ(VariantToLong(VariantText(u"4x"), &n), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantToLong(VariantText(u""), &n), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantToLong(VariantText(u"99999999999"), &n), DISP_E_TYPEMISMATCH);
  BSTR text;
  EXPECT_EQ(VariantToText(VariantLong(7), &text), S_OK);
  EXPECT_EQ(text, u"7");
  EXPECT_EQ(VariantToText(VariantOmitted(), &text), DISP_E_TYPEMISMATCH);
}

struct CSink : ComObject<IPing> {
  int Ping() override {
    ++calls;
    if (point && cookie) point->Unadvise(cookie);  // unadvising inside the event
    return calls;
  }
  int calls = 0;
  CConnectionPoint* point = nullptr;
  DWORD cookie = 0;
};

TEST(ComConnectionPoint, AdviseAndUnadviseByCookie) {
  ComPtr<CConnectionPoint> point = MakeComObject<CConnectionPoint>(IPing::kIid);
  ComPtr<CSink> a = MakeComObject<CSink>();
  ComPtr<CSink> b = MakeComObject<CSink>();
  DWORD cookieA = 0, cookieB = 0, cookieBad = 7;
  ASSERT_EQ(point->Advise(a.get(), &cookieA), S_OK);
  ASSERT_EQ(point->Advise(b.get(), &cookieB), S_OK);
  EXPECT_NE(cookieA, 0u);
  EXPECT_NE(cookieA, cookieB);
  ComPtr<IUnknown> notASink = MakeComObject<CConnectionPoint, IUnknown>(IPing::kIid);
  EXPECT_EQ(point->Advise(notASink.get(), &cookieBad), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookieBad, 0u);

  b->point = point.get();
  b->cookie = cookieB;
  point->Fire<IPing>([](IPing* sink) { sink->Ping(); });
  EXPECT_EQ(a->calls, 1);
  EXPECT_EQ(b->calls, 1);
  point->Fire<IPing>([](IPing* sink) { sink->Ping(); });
  EXPECT_EQ(a->calls, 2);
  EXPECT_EQ(b->calls, 1);  // it unadvised itself
  EXPECT_EQ(point->Unadvise(cookieB), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Unadvise(cookieA), S_OK);
  EXPECT_TRUE(point->Sinks().empty());
}

TEST(ComApartment, InitialisationIsCountedPerThread) {
  std::thread([] {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
  }).join();
}

TEST(ComMarshalThreads, InterfaceReachesAnotherThreadOnce) {
  ComPtr<IPing> ping = MakeComObject<CPing, IPing>();
  IStream* stream = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IPing::kIid, ping.get(), &stream), S_OK);
  ASSERT_NE(stream, nullptr);
  stream->AddRef();  // keep one to try a second unmarshal
  std::thread worker([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ComPtr<IPing> mine;
    ASSERT_EQ(CoGetInterfaceAndReleaseStream(stream, IPing::kIid, mine.put_void()), S_OK);
    for (int i = 0; i < 1000; ++i) mine->Ping();
    CoUninitialize();
  });
  for (int i = 0; i < 1000; ++i) ping->Ping();
  worker.join();
  EXPECT_EQ(static_cast<CPing*>(ping.get())->pings, 2000);
  ComPtr<IPing> twice;
  EXPECT_EQ(CoGetInterfaceAndReleaseStream(stream, IPing::kIid, twice.put_void()), E_UNEXPECTED);
  EXPECT_FALSE(twice);
  IStream* none = nullptr;
  EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(IOther::kIid, ping.get(), &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  ping = nullptr;
  EXPECT_EQ(g_alive, 0);  // the stream's reference went with the worker's
}

TEST(ComStream, MemoryStreamReadsWritesAndSeeks) {
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnBytes("hello", stream.put()), S_OK);
  char buf[8] = {};
  ULONG read = 0;
  ASSERT_EQ(stream->Read(buf, 3, &read), S_OK);
  EXPECT_EQ(std::string(buf, read), "hel");
  ULONGLONG pos = 0;
  ASSERT_EQ(stream->Seek(-1, STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos, 4u);
  ASSERT_EQ(stream->Write("!!", 2, nullptr), S_OK);
  STATSTG stat;
  ASSERT_EQ(stream->Stat(&stat, 0), S_OK);
  EXPECT_EQ(stat.cbSize, 6u);
  EXPECT_EQ(stream->Seek(-7, STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
  ASSERT_EQ(stream->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(stream->Read(buf, 8, &read), S_OK);
  EXPECT_EQ(std::string(buf, read), "hell!!");
  ASSERT_EQ(stream->Read(buf, 8, &read), S_OK);
  EXPECT_EQ(read, 0u);
}

TEST(ComStream, SeeksAndWritesPastTheCapFailAndChangeNothing) {
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnBytes("hello", stream.put()), S_OK);
  ULONGLONG pos = 0;
  ASSERT_EQ(stream->Seek(2, STREAM_SEEK_SET, &pos), S_OK);
  // A terabyte on, or a move that overflows: refused, the position kept.
  EXPECT_EQ(stream->Seek(LONGLONG{1} << 40, STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Seek(INT64_MAX, STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
  ASSERT_EQ(stream->Seek(0, STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos, 2u);
  // Up to the cap a seek is fine; a write there would grow past it.
  ASSERT_EQ(stream->Seek(LONGLONG{1} << 30, STREAM_SEEK_SET, &pos), S_OK);
  ULONG written = 7;
  EXPECT_EQ(stream->Write("x", 1, &written), E_OUTOFMEMORY);
  EXPECT_EQ(written, 0u);
  STATSTG stat;
  ASSERT_EQ(stream->Stat(&stat, 0), S_OK);
  EXPECT_EQ(stat.cbSize, 5u);
}

TEST(ComPtr, ConvertsUpTheHierarchyOnlyAndQueriesForTheRest) {
  static_assert(std::is_constructible_v<ComPtr<IUnknown>, ComPtr<IPing>>);
  static_assert(std::is_constructible_v<ComPtr<IMAPIProp>, ComPtr<IMessage>>);
  // Down or across needs QueryInterface, which the object may refuse.
  static_assert(!std::is_constructible_v<ComPtr<IMessage>, ComPtr<IMAPIProp>>);
  static_assert(!std::is_constructible_v<ComPtr<IOther>, ComPtr<IPing>>);
  ComPtr<IPing> ping = MakeComObject<CPing, IPing>();
  ComPtr<IUnknown> unknown = ping;
  ComPtr<IOther> other;
  EXPECT_EQ(unknown.As(&other), E_NOINTERFACE);
  EXPECT_FALSE(other);
  ComPtr<IPing> back;
  ASSERT_EQ(unknown.As(&back), S_OK);
  EXPECT_EQ(back.get(), ping.get());
}

}  // namespace
