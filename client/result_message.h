// Turning a failed call into what the user reads: the service's own error
// text, and the message for a result code.
#pragma once

#include <string>

#include "client/http_request.h"
#include "client/records.h"

// Fills result.errorText from an error answer: the "error" member of a JSON
// object body, else the whole body as text.
void ParseTwitterError(const HttpResponse& response, TwitterResult& result);

// The user's message for result.code, with the service's error text; also
// stored in result.message.
std::u16string FormatResultMessage(TwitterResult& result);
