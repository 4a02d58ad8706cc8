// A tweet as the HTML body and subject of a stored item, and its date line.
#pragma once

#include <string>

#include "client/records.h"

// The HTML body: sender picture and name, the tweet's HTML, the date line
// with the lock, client and reply link, the sender's details and the
// thumbnails of posted pictures. The sender fields the service sends as
// plain text are escaped where they are inserted; links only ever take
// http:// and https:// addresses.
std::u16string RenderMessageBody(const TwitterStatus& tweet);
// Shortened links open the shortener's preview page instead.
void RewriteTinyUrlPreview(std::u16string& body);
// Profile, status and reply links point at `apiHost` instead of the Twitter
// web site's host.
void RewriteApiHost(std::u16string& body, std::u16string_view apiHost);
// The item subject: the decoded text; a direct message as it is typed
// ("d alice hi"), or "d: hi" without a recipient.
std::u16string ComposeSubject(const TwitterStatus& tweet);
// The character references a tweet text carries, decoded in a fixed order
// (the ampersand last, so "&amp;lt;" gives "&lt;").
std::u16string DecodeEntities(std::u16string_view text);
// The date line: the local time in the user's LC_TIME names,
// "ddd, MMM dd " then HH:MM:SS ("Mon, Dec 07 14:03:22"); createdAtText
// for a tweet that never had a date.
std::u16string FormatDisplayDate(const TwitterStatus& tweet);
