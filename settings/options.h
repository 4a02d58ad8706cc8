// The add-in and toolbar options (HKCU "Software\Nevlora.com\Wrenvia\Options").
#pragma once

#include "settings/reg_settings.h"

class CPLOpts : public CRegSettings {
 public:
  CPLOpts(HKEY root, std::u16string keyPath);
  // The options key of this product.
  CPLOpts();

  LONG ExchangeValues(HKEY key, bool save, bool defaultsOnly) override;
  static std::span<const SettingEntry<CPLOpts>> Catalogue();

  std::int32_t TRI = 0;
  std::int32_t TL = 0;
  std::int32_t TP = 0;
  std::int32_t TBMessageFieldWidth = 0;
  bool ExitWorkaround = true;
  bool DisplayInputField = false;
  bool DisplayPostButtons = true;
  bool DisplayTicker = true;
  std::int32_t TickerCharLimit = 0;
  std::int32_t HKNewTweet = 0;
  bool ShowFullSenderName = false;
};

constexpr char16_t kOptionsKeyFormat[] = u"Software\\%s.com\\%s\\Options";

// The process-wide options, created and loaded on first use.
CPLOpts& GetOptions();
