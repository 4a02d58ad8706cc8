#include "settings/options.h"

namespace {
using E = SettingEntry<CPLOpts>;
const E kCatalogue[] = {
    {u"TRI", &CPLOpts::TRI, nullptr, 0},
    {u"TL", &CPLOpts::TL, nullptr, 0},
    {u"TP", &CPLOpts::TP, nullptr, 0},
    {u"TBMessageFieldWidth", &CPLOpts::TBMessageFieldWidth, nullptr, 0},
    {u"ExitWorkaround", &CPLOpts::ExitWorkaround, nullptr, 1},
    {u"DisplayInputField", &CPLOpts::DisplayInputField, nullptr, 0},
    {u"DisplayPostButtons", &CPLOpts::DisplayPostButtons, nullptr, 1},
    {u"DisplayTicker", &CPLOpts::DisplayTicker, nullptr, 1},
    {u"TickerCharLimit", &CPLOpts::TickerCharLimit, nullptr, 0},
    {u"HKNewTweet", &CPLOpts::HKNewTweet, nullptr, 0},
    {u"ShowFullSenderName", &CPLOpts::ShowFullSenderName, nullptr, 0},
};
}  // namespace

std::span<const SettingEntry<CPLOpts>> CPLOpts::Catalogue() { return kCatalogue; }

CPLOpts::CPLOpts(HKEY root, std::u16string keyPath) : CRegSettings(root, std::move(keyPath)) {
  ExchangeValues(nullptr, false, true);
}

CPLOpts::CPLOpts() : CPLOpts(HKEY_CURRENT_USER, FormatKeyPath(kOptionsKeyFormat, kCompanyWord, kProductWord)) {}

LONG CPLOpts::ExchangeValues(HKEY key, bool save, bool defaultsOnly) {
  return ExchangeCatalogue(*this, key, save, defaultsOnly);
}
