// The addresses of the services the add-in talks to and links to, fixed at
// build time in this one place.
#pragma once

// Twitter web site: profile pages are TwitterWebAddress + screen name.
#define WRENVIA_TWITTER_WEB_HOST "twitter.com"
#define WRENVIA_TWITTER_SEARCH_HOST "search.twitter.com"
#define WRENVIA_TWITTER_API_HOST "api.twitter.com"
#define WRENVIA_TWITTER_ASSET_HOST "assets0.twitter.com"

constexpr char kTwitterWebHost[] = WRENVIA_TWITTER_WEB_HOST;
constexpr char kTwitterSearchHost[] = WRENVIA_TWITTER_SEARCH_HOST;
constexpr char kTwitterApiHost[] = WRENVIA_TWITTER_API_HOST;

constexpr char TwitterWebAddress[] = "http://" WRENVIA_TWITTER_WEB_HOST "/";
constexpr char TwitterSearchAddress[] = "http://" WRENVIA_TWITTER_SEARCH_HOST;
constexpr char LockIconAddress[] = "http://" WRENVIA_TWITTER_ASSET_HOST "/images/icon_lock.gif";

// Picture services.
constexpr char kTwitPicHost[] = "twitpic.com";
constexpr char kTwitgooHost[] = "twitgoo.com";
constexpr char kPosterousHost[] = "posterous.com";

// URL shortener and the host of its preview pages.
constexpr char kTinyUrlHost[] = "tinyurl.com";
constexpr char kTinyUrlPreviewHost[] = "preview.tinyurl.com";
