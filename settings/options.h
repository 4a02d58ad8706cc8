// The add-in and toolbar options (HKCU "Software\Nevlora.com\Wrenvia\Options").
#pragma once

#include "settings/reg_settings.h"

class CPLOpts : public CRegSettings {
 public:
  CPLOpts(HKEY root, std::u16string keyPath);
  // The options key of this product.
  CPLOpts();

  LONG ExchangeValues(HKEY key, bool save, bool defaultsOnly) override;
  // Names, kinds and defaults; the constructors set every field from it.
  static std::span<const SettingEntry<CPLOpts>> Catalogue();

  std::int32_t TRI{};
  std::int32_t TL{};
  std::int32_t TP{};
  std::int32_t TBMessageFieldWidth{};
  bool ExitWorkaround{};
  bool DisplayInputField{};
  bool DisplayPostButtons{};
  bool DisplayTicker{};
  std::int32_t TickerCharLimit{};
  std::int32_t HKNewTweet{};
  bool ShowFullSenderName{};
};

constexpr char16_t kOptionsKeyFormat[] = u"Software\\%s.com\\%s\\Options";

// The process-wide options, created and loaded on first use.
CPLOpts& GetOptions();
